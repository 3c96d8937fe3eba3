; Tolvren's Windows installer: Tolvren-VERSION-setup.exe, a 64-bit installer whose pages are in
; Simplified Chinese on a Chinese Windows and in English elsewhere. make-installer.sh builds it
; and defines:
;   VERSION      the version, as three numbers (0.1.0)
;   STAGE        the folder of what gets installed: the programs, LICENSE.txt and licenses\
;   FILE_LIST    the lists of those files, made from STAGE (TOLVREN_INSTALL_FILES and
;                TOLVREN_UNINSTALL_FILES)
;   ICON         the icon of the installer and the uninstaller
;   OUTFILE      the installer to write
;   HAVE_DIALOG  defined when STAGE holds tolvren.exe, the dialog: the Start menu then opens it
;   SIGN         a command that signs the file named by its last argument; unset: no signing
;
; Command line, besides NSIS's own /S (silent) and /D=FOLDER (which must come last):
;   /AllUsers     install for every user of the computer: Program Files, HKLM; needs an administrator
;   /CurrentUser  install for the current user alone: their own profile, HKCU
;   /AddToPath    put the install folder on PATH (as ticking it on the components page does)
;   /NoContextMenu  leave out "用 Tolvren 转换" on folders' context menu (with the dialog; on by
;                 default, and an upgrade keeps what the install before it had)
; A setup older than the install of its mode asks before it replaces it; a silent one refuses.
; The uninstaller takes /RemoveSettings: the uninstalling user's settings (HKCU\Software\Tolvren)
; go too, as ticking it on its components page does; without it they stay. /Upgrade (from a setup
; that installs over it, which then removes the uninstaller itself) and /Cleanup (its own copy's)
; are for its own kind.
; Without /AllUsers or /CurrentUser an existing install keeps its mode; else an administrator
; installs for all users and anyone else for themselves. Everything the installer writes (files,
; Apps & features entry, Start menu, PATH) goes to the folders and the hive of that one mode.
;
; Exit status: 0 done; 1 cancelled; 2 stopped (a program of ours is running and was not closed, or
; the previous version could not be removed); 740 /AllUsers without administrator rights; 1638 a
; newer version is installed (a silent setup, or the user chose to keep it).
;
; The uninstaller's silent command, QuietUninstallString, runs it in place (_?=), so that whoever
; started it waits for it and gets its status: 0 removed, 2 stopped (a program of ours is running),
; 740 an install for all users without administrator rights.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel highest
ManifestDPIAware true
ManifestSupportedOS all

!define PRODUCT "Tolvren"
!define PUBLISHER "Tolvren developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvren"
!define UNINSTALLER "uninstall.exe"
!define CONSOLE_SHORTCUT "Tolvren 命令行.lnk"
!define DIALOG_SHORTCUT "Tolvren.lnk"
!define SETTINGS_KEY "Software\Tolvren"
!define FOLDER_VERB "Software\Classes\Directory\shell\Tolvren"
!define BACKGROUND_VERB "Software\Classes\Directory\Background\shell\Tolvren"
!define FOLDERID_UserProgramFiles {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}
!define ERROR_ELEVATION_REQUIRED 740
!define ERROR_PRODUCT_VERSION 1638 ; Windows Installer's "another version is installed"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!ifdef SIGN
  !finalize '"${SIGN}" "%1"' = 0
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=0 "OriginalFilename" "Tolvren-${VERSION}-setup.exe"

!addincludedir "${__FILEDIR__}"
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include Sections.nsh
!include WordFunc.nsh
!include PathEdit.nsh
!include "${FILE_LIST}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

Var Mode            ; AllUsers or CurrentUser
Var IsAdmin         ; 1 when the user may install for all users
Var DirGiven        ; the folder of /D=, empty without it
Var Previous        ; the folder of an install of this mode that is there already
Var ModeAllUsers    ; the two radio buttons of the mode page
Var ModeCurrentUser
Var NewerKept       ; the folder of a newer install the user agreed to replace

!insertmacro MUI_PAGE_WELCOME
; Tolvren's licence grants rights and asks nothing of the user: the page shows it, Next goes on.
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "$(LicenseBottom)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one for a Windows in a language of neither: English. A Chinese Windows
; of any region gets Simplified Chinese.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString LicenseBottom ${LANG_ENGLISH} "Tolvren is free software under the MIT licence above. The licences of the code built into it are installed beside the programs."
LangString LicenseBottom ${LANG_SIMPCHINESE} "Tolvren 是依上述 MIT 许可证发布的自由软件。其中所含代码的许可证与程序安装在同一文件夹中。"
LangString ModeTitle ${LANG_ENGLISH} "Choose Installation Mode"
LangString ModeTitle ${LANG_SIMPCHINESE} "选择安装方式"
LangString ModeSubtitle ${LANG_ENGLISH} "Choose who may use $(^NameDA)."
LangString ModeSubtitle ${LANG_SIMPCHINESE} "选择谁可以使用 $(^NameDA)。"
LangString ModeAllUsers ${LANG_ENGLISH} "For &all users of this computer (Program Files; needs administrator rights)"
LangString ModeAllUsers ${LANG_SIMPCHINESE} "为这台计算机的所有用户安装(&A) (Program Files，需要管理员权限)"
LangString ModeCurrentUser ${LANG_ENGLISH} "Just for &me (in my own user folder)"
LangString ModeCurrentUser ${LANG_SIMPCHINESE} "仅为我安装(&M) (安装到我自己的用户文件夹)"
; The components' labels are short enough for the list in every language; what each does is said
; beside the list when the mouse is over it.
LangString SecMainName ${LANG_ENGLISH} "Tolvren"
LangString SecMainName ${LANG_SIMPCHINESE} "Tolvren"
LangString SecMainDesc ${LANG_ENGLISH} "The programs, their licences and the Start menu entry."
LangString SecMainDesc ${LANG_SIMPCHINESE} "程序、许可证和开始菜单项。"
LangString SecPathName ${LANG_ENGLISH} "Add to PATH"
LangString SecPathName ${LANG_SIMPCHINESE} "添加到 PATH"
LangString SecPathDesc ${LANG_ENGLISH} "Puts the folder on PATH, so that tolvren-cli runs from any command prompt."
LangString SecPathDesc ${LANG_SIMPCHINESE} "将文件夹添加到 PATH，以便在任何命令提示符中运行 tolvren-cli。"
LangString NeedAdmin ${LANG_ENGLISH} "Installing for all users needs administrator rights."
LangString NeedAdmin ${LANG_SIMPCHINESE} "为所有用户安装需要管理员权限。"
LangString UnNeedAdmin ${LANG_ENGLISH} "Tolvren is installed for all users: removing it needs administrator rights."
LangString UnNeedAdmin ${LANG_SIMPCHINESE} "Tolvren 是为所有用户安装的，卸载它需要管理员权限。"
LangString ProgramRunning ${LANG_ENGLISH} "$1 is running from $0."
LangString ProgramRunning ${LANG_SIMPCHINESE} "$1 正在从 $0 运行。"
LangString CloseAndRetry ${LANG_ENGLISH} "Please close it, then choose Retry."
LangString CloseAndRetry ${LANG_SIMPCHINESE} "请关闭它，然后点击“重试”。"
LangString RemovingPrevious ${LANG_ENGLISH} "Removing the installed version from $0"
LangString RemovingPrevious ${LANG_SIMPCHINESE} "正在移除 $0 中已安装的版本"
LangString PreviousFailed ${LANG_ENGLISH} "The installed version in $0 could not be removed (status $1). Nothing was changed."
LangString PreviousFailed ${LANG_SIMPCHINESE} "无法移除 $0 中已安装的版本 (状态 $1)。没有做任何更改。"
LangString PathFailed ${LANG_ENGLISH} "PATH was left as it was: $0"
LangString PathFailed ${LANG_SIMPCHINESE} "PATH 未被修改：$0"
LangString SecContextMenuName ${LANG_ENGLISH} "Folders' context menu"
LangString SecContextMenuName ${LANG_SIMPCHINESE} "文件夹右键菜单"
LangString SecContextMenuDesc ${LANG_ENGLISH} "Adds $\"用 Tolvren 转换$\" to folders' context menu in Explorer: Tolvren opens with that folder."
LangString SecContextMenuDesc ${LANG_SIMPCHINESE} "在资源管理器的文件夹右键菜单中添加“用 Tolvren 转换”：用该文件夹打开 Tolvren。"
LangString UnSecProgramName ${LANG_ENGLISH} "Tolvren"
LangString UnSecProgramName ${LANG_SIMPCHINESE} "Tolvren"
LangString UnSecProgramDesc ${LANG_ENGLISH} "The programs and the entries this install made. Songs you keep in the folder stay."
LangString UnSecProgramDesc ${LANG_SIMPCHINESE} "程序及本次安装添加的各项。你保存在文件夹中的歌曲会保留。"
LangString UnSecSettingsName ${LANG_ENGLISH} "My settings"
LangString UnSecSettingsName ${LANG_SIMPCHINESE} "我的设置"
LangString UnSecSettingsDesc ${LANG_ENGLISH} "The folders, author and format the dialog keeps for you."
LangString UnSecSettingsDesc ${LANG_SIMPCHINESE} "对话框为你保存的文件夹、作者和格式。"
LangString Downgrade ${LANG_ENGLISH} "Tolvren $0, newer than this setup's ${VERSION}, is installed in $Previous.$\r$\n$\r$\nReplace it with the older version?"
LangString Downgrade ${LANG_SIMPCHINESE} "$Previous 中已安装 Tolvren $0，比本安装程序的 ${VERSION} 更新。$\r$\n$\r$\n要用旧版本替换它吗？"
LangString ConsoleShortcut ${LANG_ENGLISH} "A command prompt in Tolvren's folder"
LangString ConsoleShortcut ${LANG_SIMPCHINESE} "在 Tolvren 的文件夹中打开命令提示符"

!insertmacro TOLVREN_PATH_EDIT_FUNCTION ""
!insertmacro TOLVREN_PATH_EDIT_FUNCTION "un."

; Sets the shell folders and the registry hive (SHCTX) of $Mode, and $Previous to the folder of an
; install of this mode that is there already.
!macro TOLVREN_APPLY_MODE UN
Function ${UN}ApplyMode
  ${If} $Mode == "AllUsers"
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ReadRegStr $Previous SHCTX "${UNINSTALL_KEY}" "InstallLocation"
FunctionEnd
!macroend
!insertmacro TOLVREN_APPLY_MODE ""
!insertmacro TOLVREN_APPLY_MODE "un."

; The installer's folder for $Mode: the one /D= gave, else the one being upgraded (in place), else
; the mode's own.
Function ApplyModeAndFolder
  Call ApplyMode
  ${If} $DirGiven != ""
    StrCpy $INSTDIR $DirGiven
  ${ElseIf} $Previous != ""
    StrCpy $INSTDIR $Previous
  ${ElseIf} $Mode == "AllUsers"
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${Else}
    GetKnownFolderPath $0 ${FOLDERID_UserProgramFiles}
    ${If} $0 == ""
      StrCpy $0 "$LOCALAPPDATA\Programs"
    ${EndIf}
    StrCpy $INSTDIR "$0\${PRODUCT}"
  ${EndIf}
FunctionEnd

; Pushes the root key and the subkey of the PATH that $Mode edits.
!macro TOLVREN_PUSH_PATH_KEY
  ${If} $Mode == "AllUsers"
    Push ${TOLVREN_HKLM}
    Push "${TOLVREN_ENV_KEY_ALL}"
  ${Else}
    Push ${TOLVREN_HKCU}
    Push "${TOLVREN_ENV_KEY_USER}"
  ${EndIf}
!macroend

; A running program cannot be replaced or removed, and Windows keeps its file from being opened for
; writing: that is how a running tolvren.exe or tolvren-cli.exe in the folder on the stack is found,
; whoever started it. The user is asked to close it; Cancel (and silent mode) stops everything
; before anything is changed.
!macro TOLVREN_ENSURE_CLOSED UN
Function ${UN}EnsureProgramsClosed
  Exch $0
  Push $1
  Push $2
  ${Do}
    StrCpy $1 ""
    ${If} ${FileExists} "$0\tolvren.exe"
      ClearErrors
      FileOpen $2 "$0\tolvren.exe" a
      ${If} ${Errors}
        StrCpy $1 "tolvren.exe"
      ${Else}
        FileClose $2
      ${EndIf}
    ${EndIf}
    ${If} $1 == ""
    ${AndIf} ${FileExists} "$0\tolvren-cli.exe"
      ClearErrors
      FileOpen $2 "$0\tolvren-cli.exe" a
      ${If} ${Errors}
        StrCpy $1 "tolvren-cli.exe"
      ${Else}
        FileClose $2
      ${EndIf}
    ${EndIf}
    ${If} $1 == ""
      ${ExitDo}
    ${EndIf}
    DetailPrint "$(ProgramRunning)"
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramRunning)$\r$\n$\r$\n$(CloseAndRetry)" \
      /SD IDCANCEL IDRETRY retry
    Abort
    retry:
  ${Loop}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro TOLVREN_ENSURE_CLOSED ""
!insertmacro TOLVREN_ENSURE_CLOSED "un."

; The install of this mode that is there already is removed by its own uninstaller first, so that
; a file the new version no longer has goes too, and there is only ever one entry. The user's own
; files in the folder and the settings stay.
Function RemovePrevious
  ${If} $Previous == ""
    Return
  ${EndIf}
  Push $Previous
  Call EnsureProgramsClosed
  ${IfNot} ${FileExists} "$Previous\${UNINSTALLER}"
    Return
  ${EndIf}
  StrCpy $0 $Previous
  DetailPrint "$(RemovingPrevious)"
  ; _?= runs it in place and waits for it, rather than from a copy in the temporary folder.
  ClearErrors
  ExecWait '"$Previous\${UNINSTALLER}" /S /$Mode /Upgrade _?=$Previous' $1
  ${If} ${Errors}
  ${OrIf} $1 <> 0
    MessageBox MB_OK|MB_ICONSTOP "$(PreviousFailed)" /SD IDOK
    Abort
  ${EndIf}
  Delete "$Previous\${UNINSTALLER}"
  RMDir "$Previous"
FunctionEnd

Section "$(SecMainName)" SecMain
  SectionIn RO
  Push $INSTDIR
  Call EnsureProgramsClosed
  Call RemovePrevious

  SetOutPath "$INSTDIR"
  !insertmacro TOLVREN_INSTALL_FILES
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  SetOutPath "$INSTDIR"
!ifdef HAVE_DIALOG
  CreateShortcut "$SMPROGRAMS\${DIALOG_SHORTCUT}" "$INSTDIR\tolvren.exe"
!else
  ; Until the dialog comes, the Start menu opens a command prompt in the folder, showing the help.
  CreateShortcut "$SMPROGRAMS\${CONSOLE_SHORTCUT}" "$SYSDIR\cmd.exe" \
    "/k tolvren-cli.exe --help" "$SYSDIR\cmd.exe" 0 SW_SHOWNORMAL "" "$(ConsoleShortcut)"
!endif

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
!ifdef HAVE_DIALOG
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tolvren.exe,0"
!else
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
!endif
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}" /$Mode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\${UNINSTALLER}" /$Mode /S _?=$INSTDIR'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
!ifdef HAVE_DIALOG
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "ContextMenu" 0 ; until its section says otherwise
!endif
SectionEnd

Section /o "$(SecPathName)" SecPath
  !insertmacro TOLVREN_PUSH_PATH_KEY
  Push $INSTDIR
  Push "add"
  Call TolvrenPathEdit
  Pop $0
  ${If} $0 == "changed"
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "AddedToPath" 1
  ${ElseIf} $0 != "unchanged"
    DetailPrint "$(PathFailed)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(PathFailed)" /SD IDOK
  ${EndIf}
SectionEnd

!ifdef HAVE_DIALOG
; "用 Tolvren 转换" on a folder and on a folder's background, in the hive of the install mode. The
; folder goes to the dialog as one argument, quoted, never inside a command of its own.
Section "$(SecContextMenuName)" SecContextMenu
  WriteRegStr SHCTX "${FOLDER_VERB}" "" "用 Tolvren 转换"
  WriteRegStr SHCTX "${FOLDER_VERB}" "Icon" '"$INSTDIR\tolvren.exe",0'
  WriteRegStr SHCTX "${FOLDER_VERB}\command" "" '"$INSTDIR\tolvren.exe" "%1"'
  WriteRegStr SHCTX "${BACKGROUND_VERB}" "" "用 Tolvren 转换"
  WriteRegStr SHCTX "${BACKGROUND_VERB}" "Icon" '"$INSTDIR\tolvren.exe",0'
  WriteRegStr SHCTX "${BACKGROUND_VERB}\command" "" '"$INSTDIR\tolvren.exe" "%V"'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "ContextMenu" 1
SectionEnd
!endif

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "$(SecMainDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "$(SecPathDesc)"
!ifdef HAVE_DIALOG
  !insertmacro MUI_DESCRIPTION_TEXT ${SecContextMenu} "$(SecContextMenuDesc)"
!endif
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The context menu as the install being upgraded had it: on, unless it was left out (an install
; without the dialog had no say, and gets it).
!macro TOLVREN_CONTEXT_MENU_AS_BEFORE
!ifdef HAVE_DIALOG
  ClearErrors
  ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "ContextMenu"
  ${If} ${Errors}
  ${OrIf} $0 = 1
    !insertmacro SelectSection ${SecContextMenu}
  ${Else}
    !insertmacro UnselectSection ${SecContextMenu}
  ${EndIf}
!endif
!macroend

; A newer version installed in this mode is replaced only when the user says so: a silent setup
; keeps it and ends with a status of its own. Asked once per install.
Function KeepNewerInstall
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 == ""
  ${OrIf} $Previous == $NewerKept
    Return
  ${EndIf}
  ${VersionCompare} $0 "${VERSION}" $1
  ${If} $1 = 1
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(Downgrade)" /SD IDNO IDYES replace
    SetErrorLevel ${ERROR_PRODUCT_VERSION}
    Quit
    replace:
    StrCpy $NewerKept $Previous
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $DirGiven $INSTDIR
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $IsAdmin 1
  ${Else}
    StrCpy $IsAdmin 0
  ${EndIf}

  ${If} $IsAdmin = 1
    StrCpy $Mode "AllUsers"
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${AndIf} $1 != ""
      StrCpy $Mode "CurrentUser"
    ${EndIf}
  ${Else}
    StrCpy $Mode "CurrentUser"
  ${EndIf}

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $0
  ${IfNot} ${Errors}
    StrCpy $Mode "CurrentUser"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $0
  ${IfNot} ${Errors}
    ${If} $IsAdmin <> 1
      MessageBox MB_OK|MB_ICONSTOP "$(NeedAdmin)" /SD IDOK
      SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
      Quit
    ${EndIf}
    StrCpy $Mode "AllUsers"
  ${EndIf}
  Call ApplyModeAndFolder
  Call KeepNewerInstall

  ; PATH as asked, else as the install being upgraded had it.
  ClearErrors
  ${GetOptions} $R0 "/AddToPath" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPath}
  ${Else}
    ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "AddedToPath"
    ${If} $0 = 1
      !insertmacro SelectSection ${SecPath}
    ${EndIf}
  ${EndIf}
  !insertmacro TOLVREN_CONTEXT_MENU_AS_BEFORE
!ifdef HAVE_DIALOG
  ClearErrors
  ${GetOptions} $R0 "/NoContextMenu" $0
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecContextMenu}
  ${EndIf}
!endif
FunctionEnd

Function ModePage
  !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 10u 10u 280u 14u "$(ModeAllUsers)"
  Pop $ModeAllUsers
  ${NSD_CreateRadioButton} 10u 30u 280u 14u "$(ModeCurrentUser)"
  Pop $ModeCurrentUser
  ${If} $IsAdmin <> 1
    EnableWindow $ModeAllUsers 0
  ${EndIf}
  ${If} $Mode == "AllUsers"
    ${NSD_Check} $ModeAllUsers
  ${Else}
    ${NSD_Check} $ModeCurrentUser
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeAllUsers $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $Mode "AllUsers"
  ${Else}
    StrCpy $Mode "CurrentUser"
  ${EndIf}
  Call ApplyModeAndFolder
  Call KeepNewerInstall
  ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $0 = 1
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
  !insertmacro TOLVREN_CONTEXT_MENU_AS_BEFORE
FunctionEnd

; Removes exactly what the installer put there: its files one by one and the folders they were in
; when nothing else is left in them (a user may keep songs there). The entry, the shortcut and the
; PATH entry go only when the entry is this folder's, so a stray copy cannot take another's.
Section "un.$(UnSecProgramName)" UnSecProgram
  SectionIn RO
  Push $INSTDIR
  Call un.EnsureProgramsClosed

  ${If} $Previous == $INSTDIR
    ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "AddedToPath"
    ${If} $0 = 1
      !insertmacro TOLVREN_PUSH_PATH_KEY
      Push $INSTDIR
      Push "remove"
      Call un.TolvrenPathEdit
      Pop $0
      ${If} $0 != "changed"
      ${AndIf} $0 != "unchanged"
        DetailPrint "$(PathFailed)"
      ${EndIf}
    ${EndIf}
!ifdef HAVE_DIALOG
    Delete "$SMPROGRAMS\${DIALOG_SHORTCUT}"
    DeleteRegKey SHCTX "${FOLDER_VERB}"
    DeleteRegKey SHCTX "${BACKGROUND_VERB}"
!else
    Delete "$SMPROGRAMS\${CONSOLE_SHORTCUT}"
!endif
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}

  !insertmacro TOLVREN_UNINSTALL_FILES
  ${If} $EXEDIR != $INSTDIR
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
  ${Else}
    ; Run in place, as the silent uninstall is so that whoever started it waits for it: a running
    ; program cannot delete itself. A copy in the temporary folder removes it and the folder as
    ; soon as this one has ended, unless a setup that installs over it does that itself.
    ${un.GetParameters} $R0
    ClearErrors
    ${un.GetOptions} $R0 "/Upgrade" $0
    ${If} ${Errors}
      GetTempFileName $0
      Delete $0
      CreateDirectory $0
      CopyFiles /SILENT "$EXEPATH" "$0\${UNINSTALLER}"
      Exec '"$0\${UNINSTALLER}" /Cleanup _?=$INSTDIR'
    ${EndIf}
  ${EndIf}
SectionEnd

; The settings of the user who uninstalls, and only when asked: an upgrade's silent uninstall, or a
; user who only wants the program gone, keeps them.
Section /o "un.$(UnSecSettingsName)" UnSecSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecProgram} "$(UnSecProgramDesc)"
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecSettings} "$(UnSecSettingsDesc)"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

; After the sections, whose numbers it uses.
Function un.onInit
  ${un.GetParameters} $R0
  ClearErrors
  ${un.GetOptions} $R0 "/Cleanup" $0
  ${IfNot} ${Errors}
    ; The copy an uninstall in place started: its uninstaller and the folder, once it has ended.
    ${For} $1 1 100
      Delete "$INSTDIR\${UNINSTALLER}"
      ${IfNot} ${FileExists} "$INSTDIR\${UNINSTALLER}"
        ${Break}
      ${EndIf}
      Sleep 100
    ${Next}
    RMDir "$INSTDIR"
    Delete /REBOOTOK "$EXEPATH"
    RMDir /REBOOTOK "$EXEDIR"
    Quit
  ${EndIf}
  ClearErrors
  ${un.GetOptions} $R0 "/AllUsers" $0
  ${If} ${Errors}
    ClearErrors
    ${un.GetOptions} $R0 "/CurrentUser" $0
    ${If} ${Errors}
      ; Started without either, from the folder: the entry that names this folder tells.
      ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
      ${If} $0 == $INSTDIR
        StrCpy $Mode "AllUsers"
      ${Else}
        StrCpy $Mode "CurrentUser"
      ${EndIf}
    ${Else}
      StrCpy $Mode "CurrentUser"
    ${EndIf}
  ${Else}
    StrCpy $Mode "AllUsers"
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $Mode == "AllUsers"
  ${AndIf} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "$(UnNeedAdmin)" /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
  Call un.ApplyMode
  ClearErrors
  ${un.GetOptions} $R0 "/RemoveSettings" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecSettings}
  ${EndIf}
FunctionEnd
