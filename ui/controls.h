// The control ids of the stub's dialogs, named once. The templates that carry
// them are made at build time from base/messages.py, which names its controls
// by these names; the generator reads the ids from this file. It reads only
// lines of the form `const int kName = 123;` besides comments, and fails on
// anything else.
#pragma once

// The main dialog. Return sends the Unzip button's command and Escape the
// Close button's (the system's OK and Cancel ids).
const int kUnzipButton = 1;
const int kCloseButton = 2;
const int kIntroductionControl = 101;
const int kOverwriteCheckbox = 102;
const int kUnusedLabel = 103;  // never written
const int kHelpButton = 104;
const int kFolderLabel = 105;
const int kFolderField = 106;
const int kStatusLine = 109;
const int kUnusedCheckbox = 111;
const int kAboutButton = 112;
const int kRunArchiverButton = 113;
const int kBrowseButton = 115;
const int kMeterControl = 201;

// The password dialog. Its buttons carry the system's OK and Cancel ids, so
// that a click and Return or Escape send the same command.
const int kPasswordPrompt = 401;
const int kPasswordField = 402;
const int kPasswordOkButton = 1;
const int kPasswordCancelButton = 2;
