# The stub's messages and its two dialog layouts: the one source from which
# tools/resgen/resgen.py makes the compressed string table and the compressed
# password dialog template compiled into the stub.
#
# Messages are single-byte ASCII texts. "\n" is one line feed; there are no
# carriage returns. Every message keeps its number (its place in the list),
# also the ones no code fetches, so that the numbers used in the code hold.
# Message 53 is the main dialog template, placed right after message 52.
# LATER_MESSAGES, numbered from 54, come behind the template: messages added
# since, so that the template keeps its place.
#
# Dialog styles are written as flag names; the generator adds WS_CHILD and
# WS_VISIBLE to every control.

MESSAGES = [
    # 0
    "This is an incomplete self-extractor;\nplease re-create the file and try again.",
    # 1
    "Please insert disk %d in drive %s.",
    # 2
    "Please insert last disk of set in drive %s.",
    # 3 (not fetched)
    "No disk or invalid disk in drive.\nPlease insert disk number %d.",
    # 4
    "The disk in the drive appears to be\nmissing or has an incorrect label.\nInsert disk number %d.",
    # 5
    "No password specified",
    # 6
    "Incorrect password specified",
    # 7
    "NOAUTO",
    # 8
    "Setup",
    # 9
    "AUTO",
    # 10
    "This 32-bit self-extracting Zip file requires Windows 95, 98 or NT",
    # 11
    "Abort unzip operation?",
    # 12 (not fetched)
    "File %s is in use by the system.  Skipping ...",
    # 13
    "Unzip Aborted",
    # 14 (not shown)
    "Error %d running command %s",
    # 15 (not shown)
    'Error changing to "Unzip To" folder',
    # 16
    "File %s already exists.  Overwrite file?",
    # 17
    "No folder specified.",
    # 18 (not fetched): a backslash, then TEMP
    "\\TEMP",
    # 19 (not fetched)
    "This file is intended for use under Windows 95, 98, or a system with compatible long"
    " filename support.\nOn the version of Windows you are currently running, any long"
    " filenames will probably be truncated and improper operation may result.\n\nContinue"
    " anyway?",
    # 20 (not fetched)
    "TEMP=",
    # 21
    "%d file(s) unzipped successfully",
    # 22
    "To unzip all files in %s to the specified folder press the Unzip button.",
    # 23 (not fetched)
    "Arcula",
    # 24 (not fetched)
    "extensions",
    # 25 (not shown)
    "When &done unzipping open: ",
    # 26: an entry whose name would lead out of the target folder or to a
    # device; %s is the entry's name (at most 263 bytes, so the whole text
    # fits the 500-byte formatting buffer).
    "Arcula Self-Extractor will not unzip %s: its name points outside the target"
    " folder or to a device.",
    # 27: Run Arcula found no archiver registered on this machine
    "Arcula not found on your system.\n\nArcula is the archiver that makes, opens and"
    " changes Zip files such as this one. You can get it from the people who gave"
    " you this file, or from the Arcula project's own download page.",
    # 28
    "Can't create output file: %s",
    # 29
    "Unsupported compression method",
    # 30
    "ZIP damaged: file %s: Bad CRC %08lx (should be %08lx).  Possible cause: file"
    " transfer error.",
    # 31
    "Invalid ZIP header.  Possible cause: file transfer error.",
    # 32
    'Could not create "%s" - unzip operation cancelled.',
    # 33
    "Error in folder name specfied on the command line.",
    # 34
    "Unzipping %s",
    # 35
    "Error writing to %s.  Possible cause: disk full.",
    # 36
    "Error reading %s.  Possible cause: bad disk or file transfer error.",
    # 37
    "I/O error on file.  Possible cause: file transfer error.",
    # 38
    'To unzip all files in %s press the "Unzip" button. Files will be unzipped to the'
    ' folder specified in the "Unzip To Folder" field. This folder will be created if'
    " it does not exist.\n\nYou can also unzip this file with a standard zip utility"
    " like Arcula or PKUNZIP.",
    # 39
    "Zip file is damaged, truncated, or has been changed since it was created."
    "   If you downloaded this file, try downloading again.",
    # 40 (not shown)
    "This self-extracting Zip file was created by\n\nArcula Self-Extractor, copyright"
    " (c) the Arcula developers.\nIt comes with no warranty of any kind; you may pass"
    " it on unchanged.\nQuestions and reports: the Arcula project.",
    # 41 (not shown)
    "",
    # 42 (not shown)
    "",
    # 43: the About box; passed to the formatter as the format, so never a
    # per-cent sign here.
    "This self-extracting Zip file was created by\nArcula Self-Extractor\n\nCopyright"
    " (c) the Arcula developers",
    # 44 (not shown): the same as 43
    "This self-extracting Zip file was created by\nArcula Self-Extractor\n\nCopyright"
    " (c) the Arcula developers",
    # 45
    "Drive %s is not a valid drive, unzip operation cancelled.",
    # 46 (not shown)
    "Cannot use command file %s\nWindows does not have a program associated to run"
    " with it.",
    # 47 (not fetched)
    "TMP=",
    # 48: title of the folder browser
    "Unzip to Folder:",
    # 49
    "TEMP",
    # 50
    "Zip contains filenames longer than are allowed by\nWindows. Arcula Self-Extractor"
    " cannot process this\nZip file.",
    # 51
    "this self-extractor file",
    # 52: a link (symbolic link, junction or mount point) below the target
    # folder, where a folder or file of an entry would go; %s is its path.
    "Arcula Self-Extractor will not unzip through %s: it is a link, and what it"
    " leads to may lie outside the target folder.",
]

LATER_MESSAGES = [
    # 54: a word of the command line that looks like a switch but is none;
    # %s is the word.
    "%s is not a switch of this self-extractor.\nIts switches: /auto [folder], /silent [folder],"
    " /noauto, /overwrite, /password password, /log file, -info.",
    # 55: the command that opens this file in the archiver does not fit
    # what Windows takes.
    "Arcula cannot be started: the path of this file is too long for its command.",
    # 56: the log named on the command line is a link, a hard-linked file or
    # a folder; %s is its path.
    "Arcula Self-Extractor will not write the log %s: it is a folder or a link.",
    # 57: the log could not be opened or written; %s is its path.
    "Cannot write the log %s.",
]

# Modal frame with caption and system menu, font fields present, 3D look.
DIALOG_STYLE = "WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK"

# Controls: (name, class, style besides WS_CHILD | WS_VISIBLE, (x, y, width,
# height), text). The name is that of the control's id in ui/controls.h, where
# the code finds it too. A class is "button", "edit" or "static" (the system's
# predefined classes) or any other name, written out as text.
MAIN_DIALOG = {
    "style": DIALOG_STYLE,
    "position": (94, 23),
    "size": (230, 114),
    "caption": "",  # set at run time
    "font": (8, "MS Sans Serif"),
    "controls": [
        ("kIntroductionControl", "static", "WS_GROUP | SS_LEFT | SS_NOPREFIX", (6, 6, 162, 24), ""),
        ("kFolderLabel", "static", "WS_GROUP | SS_LEFT", (6, 32, 74, 8), "Unzip to &folder: "),
        ("kFolderField", "edit", "WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL", (6, 40, 108, 12), ""),
        ("kBrowseButton", "button", "WS_TABSTOP | BS_PUSHBUTTON", (118, 39, 50, 14), "&Browse..."),
        ("kOverwriteCheckbox", "button", "WS_TABSTOP | BS_AUTOCHECKBOX", (6, 56, 161, 10),
         "&Overwrite files without prompting"),
        ("kUnusedCheckbox", "button", "WS_TABSTOP | BS_AUTOCHECKBOX", (6, 70, 166, 10), ""),
        ("kUnzipButton", "button", "WS_TABSTOP | BS_DEFPUSHBUTTON", (174, 6, 50, 14), "&Unzip"),
        ("kRunArchiverButton", "button", "WS_TABSTOP | BS_PUSHBUTTON", (174, 24, 50, 14), "&Run Arcula"),
        ("kCloseButton", "button", "WS_TABSTOP | BS_PUSHBUTTON", (174, 42, 50, 14), "&Close"),
        ("kAboutButton", "button", "WS_TABSTOP | BS_PUSHBUTTON", (174, 60, 50, 14), "&About"),
        ("kHelpButton", "button", "WS_TABSTOP | BS_PUSHBUTTON", (174, 78, 50, 14), "&Help"),
        ("kUnusedLabel", "static", "WS_GROUP | SS_LEFT | SS_NOPREFIX", (17, 82, 153, 8), ""),
        ("kStatusLine", "static", "WS_GROUP | SS_CENTER | SS_NOPREFIX", (0, 101, 230, 8), ""),
        ("kMeterControl", "meter", "WS_BORDER", (6, 98, 218, 12), ""),  # the progress meter
    ],
}

PASSWORD_DIALOG = {
    "style": DIALOG_STYLE,
    "position": (71, 71),
    "size": (186, 76),
    "caption": "Arcula Self-Extractor - Password",
    "font": (8, "MS Sans Serif"),
    "controls": [
        ("kPasswordPrompt", "static", "WS_GROUP | SS_LEFT", (6, 6, 174, 24),
         "This self-extracting Zip file is password protected.\n\nPlease type the &password:"),
        ("kPasswordField", "edit", "WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL", (6, 38, 174, 12), ""),
        ("kPasswordOkButton", "button", "WS_TABSTOP | BS_DEFPUSHBUTTON", (35, 56, 50, 14), "OK"),
        ("kPasswordCancelButton", "button", "WS_TABSTOP | BS_PUSHBUTTON", (101, 56, 50, 14), "Cancel"),
    ],
}
