// Host side of the dialog calls: a scripted dialog (host_dialog_script.h).
#include <cstring>
#include <deque>
#include <map>
#include <utility>

#include "platform/host/host_dialog_script.h"
#include "platform/password_ui.h"

namespace {

struct ScriptStep {
  int control;       // 0: a button press of command `id`, or `action`
  int id;
  std::string text;  // typed into `control`
  std::function<void()> action;
};

struct DialogScript {
  std::deque<ScriptStep> steps;
  std::map<int, std::string> fields;
  std::vector<HostDialogRun> runs;
  DialogProcedure procedure = nullptr;  // of the dialog being run
  bool ended = false;
  intptr_t endResult = 0;
  int dialogHandle = 0;  // its address stands for the open dialog
};

DialogScript& Script() {
  static DialogScript script;
  return script;
}

// The caption of a dialog template: after style, extended style, control
// count, four coordinates, menu and class (22 bytes), UTF-16 up to a 0 unit.
std::string TemplateCaption(const void* dialogTemplate) {
  const uint8_t* bytes = static_cast<const uint8_t*>(dialogTemplate) + 22;
  std::string caption;
  for (; bytes[0] != 0 || bytes[1] != 0; bytes += 2) caption += static_cast<char>(bytes[0]);
  return caption;
}

}  // namespace

void HostQueueTyping(int control, const std::string& text) {
  Script().steps.push_back(ScriptStep{control, 0, text, nullptr});
}

void HostQueuePress(int id) { Script().steps.push_back(ScriptStep{0, id, std::string(), nullptr}); }

void HostQueueAction(std::function<void()> action) {
  Script().steps.push_back(ScriptStep{0, 0, std::string(), std::move(action)});
}

const std::vector<HostDialogRun>& HostDialogRuns() { return Script().runs; }

void HostResetDialogScript() { Script() = DialogScript(); }

intptr_t SysRunDialog(const void* dialogTemplate, WindowHandle owner, DialogProcedure procedure) {
  DialogScript& script = Script();
  WindowHandle dialog = &script.dialogHandle;
  script.fields.clear();
  script.ended = false;
  script.procedure = procedure;
  script.runs.push_back(HostDialogRun{owner, TemplateCaption(dialogTemplate), 0, {}, 0});
  procedure(dialog, kWmSetFont, 0, 1);
  procedure(dialog, kWmInitDialog, 0, 0);
  while (!script.ended && !script.steps.empty()) {
    ScriptStep step = script.steps.front();
    script.steps.pop_front();
    if (step.control != 0) {
      script.fields[step.control] = step.text;
    } else if (step.action) {
      step.action();
    } else {
      procedure(dialog, kWmCommand, static_cast<uintptr_t>(step.id), 0);
    }
  }
  intptr_t result = script.ended ? script.endResult : kHostDialogNotEnded;
  script.runs.back().result = result;
  script.procedure = nullptr;
  return result;
}

uint32_t SysGetDlgItemText(WindowHandle, int control, char* buffer, uint32_t size) {
  if (size == 0) return 0;
  std::string text = Script().fields[control];
  if (text.size() > size - 1) text.resize(size - 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<uint32_t>(text.size());
}

void SysEndDialog(WindowHandle, intptr_t result) {
  Script().ended = true;
  Script().endResult = result;
}

void SysSetFont(WindowHandle dialog, int control, FontHandle font) {
  if (Script().runs.empty()) return;
  Script().runs.back().fontControls.push_back(control);
  if (control == 0 && Script().procedure != nullptr) {
    Script().procedure(dialog, kWmSetFont, reinterpret_cast<uintptr_t>(font), 1);
  }
}

void SysCentreWindow(WindowHandle) {
  if (!Script().runs.empty()) ++Script().runs.back().centred;
}
