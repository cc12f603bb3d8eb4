; The Windows installer, made by tools/package-windows.sh:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.2 -DSTAGE=DIR -DLISTS=DIR -DOUTFILE=FILE
;            [-DICON=drevonix.ico] drevonix.nsi
;
; STAGE is the install tree (cmake --install); LISTS holds uninstall.nsh, the Delete and
; RMDir lines of that same tree, so the uninstaller removes exactly what was installed.
;
; For the current user without administrator rights (%LOCALAPPDATA%\Programs\Drevonix,
; whose folder the program may write: Control.ini stays beside it), for all users when
; started as administrator (Program Files: Control.ini goes to each user's
; %APPDATA%\drevonix). /CurrentUser asks for the first as an administrator too; /S is
; silent, for the installer and the uninstaller alike.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PUBLISHER "Drevonix maintainers"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Drevonix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "Drevonix ${VERSION}"
OutFile "${OUTFILE}"
; Chosen in .onInit, unless /D= gave it.
InstallDir ""
BrandingText "Drevonix ${VERSION}"

; 1 when installed for all users.
Var AllUsers

!ifdef ICON
    !define MUI_ICON "${ICON}"
    !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartNow
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

LangString Program ${LANG_ENGLISH} "Drevonix"
LangString Program ${LANG_RUSSIAN} "Drevonix"
LangString Autostart ${LANG_ENGLISH} "Start with Windows (in the notification area)"
LangString Autostart ${LANG_RUSSIAN} "Запускать вместе с Windows (в области уведомлений)"
LangString Settings ${LANG_ENGLISH} "Settings too (Control.ini: key table, window position)"
LangString Settings ${LANG_RUSSIAN} "И настройки (Control.ini: таблица кнопок, положение окна)"
LangString StartNow ${LANG_ENGLISH} "Start Drevonix now"
LangString StartNow ${LANG_RUSSIAN} "Запустить Drevonix сейчас"
LangString Running ${LANG_ENGLISH} "Drevonix is running ($1). Close it (Exit in its tray menu), then choose Retry."
LangString Running ${LANG_RUSSIAN} "Drevonix работает ($1). Закройте его (пункт «Выход» в меню значка в трее) и нажмите «Повтор»."
LangString NeedsAdmin ${LANG_ENGLISH} "Drevonix was installed for all users: remove it as an administrator."
LangString NeedsAdmin ${LANG_RUSSIAN} "Drevonix установлен для всех пользователей: удалите его от имени администратора."

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Drevonix"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Drevonix ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}. GPL-3.0."

; A running program's files cannot be replaced, and killing it would lose what it has not
; saved yet: the user closes it (it saves Control.ini then). Silent, the run fails instead.
!macro IN_USE exe
    ${If} ${FileExists} "$INSTDIR\${exe}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${exe}" a
        ${If} ${Errors}
            StrCpy $1 "${exe}"
        ${Else}
            FileClose $0
        ${EndIf}
    ${EndIf}
!macroend
!macro CHECK_NOT_RUNNING un
    Function ${un}CheckNotRunning
        retry:
        StrCpy $1 ""
        !insertmacro IN_USE drevonix.exe
        !insertmacro IN_USE drevonix-demo.exe
        !insertmacro IN_USE drevonix-cli.exe
        ${If} $1 != ""
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY retry
            SetErrorLevel 2
            Quit
        ${EndIf}
    FunctionEnd
!macroend
!insertmacro CHECK_NOT_RUNNING ""
!insertmacro CHECK_NOT_RUNNING "un."

Section "$(Program)" SecProgram
    SectionIn RO
    Call CheckNotRunning
    ; The last version's uninstaller takes away its files (a file this version no longer
    ; has would stay for ever), its shortcuts and its Run entry; silent, it keeps
    ; Control.ini. In place (_?=), so that it is over before the new files come.
    ${If} ${FileExists} "$INSTDIR\uninstall.exe"
        ExecWait '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR' $0
        ${If} $0 != 0
            DetailPrint "The uninstaller of the last version ended with status $0"
        ${EndIf}
        Delete "$INSTDIR\uninstall.exe"
    ${EndIf}
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The shortcuts start in the install folder.
    CreateShortcut "$SMPROGRAMS\Drevonix.lnk" "$INSTDIR\drevonix.exe" "" "$INSTDIR\drevonix.exe" 0
    CreateShortcut "$SMPROGRAMS\Drevonix demo.lnk" "$INSTDIR\drevonix-demo.exe" "" "$INSTDIR\drevonix-demo.exe" 0

    WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "Drevonix"
    WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\drevonix.exe,0"
    WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; The program starts in the notification area by itself: the entry needs no option. For
; all users it is the machine's Run key, which any administrator's uninstall can remove.
Section "$(Autostart)" SecAutostart
    WriteRegStr SHCTX "${RUN_KEY}" "Drevonix" '"$INSTDIR\drevonix.exe"'
SectionEnd

; After the sections: it changes one of them.
Function .onInit
    UserInfo::GetAccountType
    Pop $0
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/CurrentUser" $2
    ${If} $0 == "Admin"
    ${AndIf} ${Errors}
        StrCpy $AllUsers 1
        SetShellVarContext all
        StrCpy $3 "$PROGRAMFILES64\Drevonix"
    ${Else}
        StrCpy $AllUsers 0
        SetShellVarContext current
        StrCpy $3 "$LOCALAPPDATA\Programs\Drevonix"
    ${EndIf}
    ; An update goes where the last install went, and keeps its choice of starting at login.
    ReadRegStr $4 SHCTX "${UNINST_KEY}" "InstallLocation"
    ${If} $4 != ""
        StrCpy $3 $4
        ReadRegStr $5 SHCTX "${RUN_KEY}" "Drevonix"
        ${If} $5 == ""
            !insertmacro UnselectSection ${SecAutostart}
        ${EndIf}
    ${EndIf}
    ${If} $INSTDIR == ""
        StrCpy $INSTDIR $3
    ${EndIf}
FunctionEnd

Function StartNow
    ${If} $AllUsers == 1
        ; Not as administrator: an elevated program would write Control.ini into
        ; Program Files. Explorer starts it as the signed-in user.
        Exec '"$WINDIR\explorer.exe" "$INSTDIR\drevonix.exe"'
    ${Else}
        Exec '"$INSTDIR\drevonix.exe"'
    ${EndIf}
FunctionEnd

Function un.onInit
    ; Whose install this is: the one the machine's Uninstall key points at is for all users.
    ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        UserInfo::GetAccountType
        Pop $1
        ${If} $1 != "Admin"
            MessageBox MB_OK|MB_ICONSTOP "$(NeedsAdmin)" /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
        StrCpy $AllUsers 1
        SetShellVarContext all
    ${Else}
        StrCpy $AllUsers 0
        SetShellVarContext current
    ${EndIf}
FunctionEnd

Section "un.$(Program)" UnSecProgram
    SectionIn RO
    Call un.CheckNotRunning
    DeleteRegValue SHCTX "${RUN_KEY}" "Drevonix"
    Delete "$SMPROGRAMS\Drevonix.lnk"
    Delete "$SMPROGRAMS\Drevonix demo.lnk"
    ; Only what was installed: Control.ini and the copies the program set aside beside it
    ; (a damaged file, never deleted) are the user's.
    !include "${LISTS}/uninstall.nsh"
    Delete "$INSTDIR\uninstall.exe"
    DeleteRegKey SHCTX "${UNINST_KEY}"
SectionEnd

; Off unless asked for: silent, the settings stay.
Section /o "un.$(Settings)" UnSecSettings
    Delete "$INSTDIR\Control.ini"
    ${If} $AllUsers == 1
        ; Each user's own lives in their profile; the one who uninstalls can remove theirs.
        SetShellVarContext current
        Delete "$APPDATA\drevonix\Control.ini"
        RMDir "$APPDATA\drevonix"
        SetShellVarContext all
    ${EndIf}
SectionEnd

Section "-un.Folder"
    ; Stays while the user's files are in it.
    RMDir "$INSTDIR"
SectionEnd
