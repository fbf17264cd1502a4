// The control ids of the stub's dialogs, named once. The templates that carry
// them are made at build time from base/messages.py.
#pragma once

// The main dialog.
const int kUnzipButton = 1;
const int kCloseButton = 2;
const int kIntroductionControl = 101;
const int kOverwriteCheckbox = 102;
const int kHelpButton = 104;
const int kFolderField = 106;
const int kStatusLine = 109;
const int kUnusedCheckbox = 111;
const int kAboutButton = 112;
const int kRunArchiverButton = 113;
const int kBrowseButton = 115;
const int kMeterControl = 201;

// The password dialog.
const int kPasswordPrompt = 401;
const int kPasswordField = 402;
