; The Windows installer: the program for all users of the PC (Program Files, an administrator
; needed) or for the operator alone (%LOCALAPPDATA%\Programs, no administrator), a Start-menu
; shortcut, an optional desktop one, and an uninstaller that Programs and Features lists. The
; build passes the files and versions in (cmake/Windows.cmake):
;   makensis -DVERSION=1.6 -DPRODUCT_VERSION=... -DEXE=... -DICON=... -DLICENSE=... -DMANUAL=...
;            -DOUTFILE=...
;
; Silent: /S, with /AllUsers or /CurrentUser to choose; without either an upgrade keeps the mode of
; the copy already there. Exit codes besides NSIS's own (1 cancelled, 2 aborted):
;   3  the program is running, or its executable is held open: nothing was changed;
;   4  this Windows is older than the program needs: nothing was changed;
;   5  removing a copy for all users needs an administrator.
;
; The operator's settings and history lists live outside the program's folder
; (%LOCALAPPDATA%\kvz03) and are never touched here: an uninstall or an upgrade keeps them.

; A 64-bit installer for a 64-bit program: it reads and writes the registry and Program Files
; as the program sees them, with no redirection.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!define APP "KVZ-03"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
; The program holds this mutex while it runs (app/RunningMarkWin32.cpp).
!define RUNNING_MARK "Local\KVZ-03.Running"
; The oldest Windows 10 that Qt 6.4 supports: 1809.
!define MIN_WINDOWS_BUILD 17763
!define EXIT_RUNNING 3
!define EXIT_OLD_WINDOWS 4
!define EXIT_NOT_ADMIN 5

; An administrator is asked for when the user can give one; otherwise only "for me" is possible
; and the mode page is left out. Each mode finds an earlier copy by the InstallLocation of its
; own uninstall entry, under HKLM or HKCU.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_FUNCTION KeepCommandLineFolder
!define MULTIUSER_INSTALLMODEPAGE_TEXT_TOP "Для всех пользователей программа ставится в Program Files: нужны права администратора. Только для вас она ставится в вашу папку, без этих прав. $(^ClickNext)"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_ALLUSERS "Для всех пользователей"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_CURRENTUSER "Только для меня"
!define MULTIUSER_INIT_TEXT_ALLUSERSNOTPOSSIBLE "Установить программу ${APP} для всех пользователей может только администратор."
!define MULTIUSER_INIT_FUNCTIONQUIT QuitNotAdmin
; The uninstaller takes its mode from where it stands (un.onInit).
!define MULTIUSER_NOUNINSTALL

!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WinVer.nsh

Name "${APP}"
Caption "Установка программы ${APP} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${APP}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка программы для детектора ${APP}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\KVZApp.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить программу ${APP}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Var CommandLineFolder

; Replacing or removing the executable of a running program fails on a locked file: the operator
; is asked to close it first, and a silent run ends with EXIT_RUNNING before anything is changed.
; Running means the program's mark exists (or is another user's, hence refused), or the executable
; here cannot be opened for writing (a copy in another session, or a version without the mark).
!macro CLOSE_PROGRAM_FUNCTION PREFIX
Function ${PREFIX}CloseProgram
  retry:
  StrCpy $2 0
  ; SYNCHRONIZE; 5 is ERROR_ACCESS_DENIED.
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MARK}") p .r0 ?e'
  Pop $1
  ${If} $0 != 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $2 1
  ${ElseIf} $1 = 5
    StrCpy $2 1
  ${ElseIf} ${FileExists} "$INSTDIR\KVZApp.exe"
    ClearErrors
    FileOpen $3 "$INSTDIR\KVZApp.exe" a
    ${If} ${Errors}
      StrCpy $2 1
    ${Else}
      FileClose $3
    ${EndIf}
  ${EndIf}
  ${If} $2 = 1
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Закройте программу ${APP} и нажмите «Повтор»" /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_RUNNING}
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CLOSE_PROGRAM_FUNCTION ""
!insertmacro CLOSE_PROGRAM_FUNCTION "un."

Function .onInit
  ${WinVerGetBuild} $0
  ${IfNot} ${AtLeastWin10}
  ${OrIf} $0 < ${MIN_WINDOWS_BUILD}
    MessageBox MB_OK|MB_ICONSTOP "Программа ${APP} работает в Windows 10 версии 1809 и новее." /SD IDOK
    SetErrorLevel ${EXIT_OLD_WINDOWS}
    Quit
  ${EndIf}
  ; MultiUser refuses /AllUsers to a user who is no administrator with a box that a silent run
  ; would wait on.
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/AllUsers" $2
  ${IfNot} ${Errors}
  ${AndIf} ${Silent}
    UserInfo::GetAccountType
    Pop $2
    ${If} $2 != "Admin"
      Call QuitNotAdmin
    ${EndIf}
  ${EndIf}
  ; NSIS has set $INSTDIR from /D= by now, and the mode's own folder would replace it.
  StrCpy $CommandLineFolder $INSTDIR
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function KeepCommandLineFolder
  ${If} $CommandLineFolder != ""
    StrCpy $INSTDIR $CommandLineFolder
  ${EndIf}
FunctionEnd

Function QuitNotAdmin
  SetErrorLevel ${EXIT_NOT_ADMIN}
  Quit
FunctionEnd

; SHCTX below is HKLM for all users and HKCU for one, as the mode set SetShellVarContext.
Section "Программа ${APP}" SecProgram
  SectionIn RO
  Call CloseProgram
  SetOutPath "$INSTDIR"
  ; The program's files, each checked: one that could not be written fails the install.
  ClearErrors
  File "/oname=KVZApp.exe" "${EXE}"
  ; The operator's manual that F1 shows, for a browser as well.
  SetOutPath "$INSTDIR\manual\pictures"
  File "${MANUAL}/pictures/*.png"
  SetOutPath "$INSTDIR\manual"
  File "${MANUAL}/manual.html"
  SetOutPath "$INSTDIR"
  ${If} ${Errors}
    DetailPrint "Не удалось записать файлы программы в $INSTDIR"
    SetErrorLevel ${EXIT_RUNNING}
    Abort
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\KVZApp.exe"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Проект ${APP}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\KVZApp.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Ярлык на рабочем столе" SecDesktop
  CreateShortcut "$DESKTOP\${APP}.lnk" "$INSTDIR\KVZApp.exe"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "Программа ${APP} и ярлык в меню «Пуск»."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "Ярлык программы на рабочем столе."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; A copy for one user is the one its HKCU entry names, or the only one there is; the folder may
; be spelt otherwise than in the entry (a short name, another drive letter for the same disk).
; Any other copy needs an administrator.
Function un.onInit
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy $2 AllUsers
  ${If} $0 == $INSTDIR
    StrCpy $2 CurrentUser
  ${ElseIf} $1 != $INSTDIR
  ${AndIf} $0 != ""
  ${AndIf} $1 == ""
    StrCpy $2 CurrentUser
  ${EndIf}
  ${If} $2 == CurrentUser
    SetShellVarContext current
  ${Else}
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "Удалить программу ${APP} для всех пользователей может только администратор." /SD IDOK
      SetErrorLevel ${EXIT_NOT_ADMIN}
      Quit
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseProgram
  ; The executable first: while it stays, so does everything else, the entry included.
  Delete "$INSTDIR\KVZApp.exe"
  ${If} ${FileExists} "$INSTDIR\KVZApp.exe"
    DetailPrint "Не удалось удалить $INSTDIR\KVZApp.exe"
    SetErrorLevel ${EXIT_RUNNING}
    Abort
  ${EndIf}
  Delete "$DESKTOP\${APP}.lnk"
  Delete "$SMPROGRAMS\${APP}.lnk"
  RMDir /r "$INSTDIR\manual"
  ; The uninstaller that started this copy of itself from the temporary folder may still be
  ; ending, its file and so its folder still in use: a few tries over five seconds. The folder
  ; goes only when empty: whatever else is there is not ours to remove.
  StrCpy $0 0
  ${Do}
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    IntOp $0 $0 + 1
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
    ${OrIf} $0 >= 20
      ${ExitDo}
    ${EndIf}
    Sleep 250
  ${Loop}
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
