; Puts one folder on PATH, or takes it off again, in the registry of the install mode:
; HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment for every user,
; HKCU\Environment for one.
;
; NSIS strings hold at most 1,024 characters and many a PATH is longer: read with ReadRegStr it
; would come back cut, and written back it would destroy the user's PATH. So the value never
; passes through an NSIS string: it is read into a buffer of its own size, searched and edited
; there with Win32 calls, and written back from that buffer, keeping its type (REG_EXPAND_SZ or
; REG_SZ). Entries are compared as Windows compares paths, without regard to case, with or without
; a trailing backslash. Removing takes out every entry that names the folder and nothing else.
;
;   Push ROOT     ${TOLVREN_HKLM} or ${TOLVREN_HKCU}
;   Push SUBKEY
;   Push FOLDER
;   Push ACTION   add | remove
;   Call [un.]TolvrenPathEdit
;   Pop RESULT    changed | unchanged | error TEXT
; After a change, every top-level window is told (WM_SETTINGCHANGE "Environment"), so programs
; started from Explorer afterwards see the new PATH.

!include LogicLib.nsh

; The predefined keys as a 64-bit program passes them: sign-extended.
!define TOLVREN_HKCU 0xFFFFFFFF80000001
!define TOLVREN_HKLM 0xFFFFFFFF80000002
!define TOLVREN_ENV_KEY_ALL "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define TOLVREN_ENV_KEY_USER "Environment"

!macro TOLVREN_PATH_EDIT_FUNCTION UN
Function ${UN}TolvrenPathEdit
  ; $R0 root, $R1 subkey, $R2 folder, $R3 action; $R4 result.
  ; $0 key, $1 status, $2 type, $3 size in bytes, $4 the value, $5 ";value;", $6-$9 scratch.
  Exch $R3
  Exch
  Exch $R2
  Exch 2
  Exch $R1
  Exch 3
  Exch $R0
  Push $R4
  Push $R5
  Push $R6
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  Push $9
  StrCpy $4 0
  StrCpy $5 0

  ; KEY_QUERY_VALUE | KEY_SET_VALUE
  System::Call 'advapi32::RegOpenKeyExW(p R0, w R1, i 0, i 3, *p 0 r0) i .r1'
  ${If} $1 <> 0
    StrCpy $R4 "error $1: the key $R1 cannot be opened for writing"
    Goto done
  ${EndIf}

  System::Call 'advapi32::RegQueryValueExW(p r0, w "Path", p 0, *i 0 r2, p 0, *i 0 r3) i .r1'
  ${If} $1 = 2 ; ERROR_FILE_NOT_FOUND: no PATH of this hive yet
    StrCpy $2 2 ; REG_EXPAND_SZ
    StrCpy $3 0
  ${ElseIf} $1 <> 0
    StrCpy $R4 "error $1: PATH cannot be read"
    Goto close
  ${ElseIf} $2 <> 1
  ${AndIf} $2 <> 2
    StrCpy $R4 "error: PATH is not text (type $2); left as it is"
    Goto close
  ${EndIf}

  ; Room for the value, a terminator it may lack, a separator, the folder and the sentinels.
  StrLen $6 $R2
  IntOp $6 $6 + 4
  IntOp $6 $6 * 2
  IntOp $6 $6 + $3
  System::Alloc $6
  Pop $4
  System::Alloc $6
  Pop $5
  ${If} $4 P= 0
  ${OrIf} $5 P= 0
    StrCpy $R4 "error: out of memory"
    Goto free
  ${EndIf}
  ${If} $3 > 0
    System::Call 'advapi32::RegQueryValueExW(p r0, w "Path", p 0, p 0, p r4, *i r3 r7) i .r1'
    ${If} $1 <> 0
      StrCpy $R4 "error $1: PATH cannot be read"
      Goto free
    ${EndIf}
  ${EndIf}

  ; $5 = ";" PATH ";": every entry, the first and the last too, lies between two separators.
  System::Call 'kernel32::lstrcpyW(p r5, w ";")'
  System::Call 'kernel32::lstrcatW(p r5, p r4)'
  System::Call 'kernel32::lstrcatW(p r5, w ";")'
  StrCpy $R5 ";$R2;"
  StrCpy $R6 ";$R2\;"

  ${If} $R3 == "add"
    System::Call 'shlwapi::StrStrIW(p r5, w R5) p .r6'
    System::Call 'shlwapi::StrStrIW(p r5, w R6) p .r7'
    ${If} $6 P<> 0
    ${OrIf} $7 P<> 0
      StrCpy $R4 "unchanged"
      Goto free
    ${EndIf}
    ; PATH, a separator unless it is empty or ends in one, then the folder.
    System::Call 'kernel32::lstrlenW(p r4) i .r6'
    ${If} $6 > 0
      IntOp $7 $6 - 1
      IntOp $7 $7 * 2
      IntPtrOp $7 $4 + $7
      System::Call '*$7(&w1 .r8)'
      ${If} $8 != ";"
        System::Call 'kernel32::lstrcatW(p r4, w ";")'
      ${EndIf}
    ${EndIf}
    System::Call 'kernel32::lstrcatW(p r4, w R2)'
    StrCpy $9 $4
  ${Else}
    StrCpy $R4 "unchanged"
    ${Do}
      System::Call 'shlwapi::StrStrIW(p r5, w R5) p .r6'
      StrCpy $8 $R5
      ${If} $6 P= 0
        System::Call 'shlwapi::StrStrIW(p r5, w R6) p .r6'
        StrCpy $8 $R6
      ${EndIf}
      ${If} $6 P= 0
        ${ExitDo}
      ${EndIf}
      ; Cut out ";FOLDER" (or ";FOLDER\"), keeping the separator after it.
      StrLen $7 $8
      IntOp $7 $7 - 1
      IntOp $7 $7 * 2
      IntPtrOp $7 $6 + $7
      System::Call 'kernel32::lstrlenW(p r7) i .r8'
      IntOp $8 $8 + 1
      IntOp $8 $8 * 2
      System::Call 'kernel32::RtlMoveMemory(p r6, p r7, p r8)'
      StrCpy $R4 "changed"
    ${Loop}
    ${If} $R4 == "unchanged"
      Goto free
    ${EndIf}
    ; Drop the two sentinels again.
    System::Call 'kernel32::lstrlenW(p r5) i .r6'
    ${If} $6 <= 1
      System::Call 'kernel32::lstrcpyW(p r5, w "")'
      StrCpy $9 $5
    ${Else}
      IntOp $7 $6 - 1
      IntOp $7 $7 * 2
      IntPtrOp $7 $5 + $7
      System::Call '*$7(&i2 0)'
      IntPtrOp $9 $5 + 2
    ${EndIf}
  ${EndIf}

  ; $9 is the new PATH. An empty one goes away, as it was before anything was added.
  System::Call 'kernel32::lstrlenW(p r9) i .r6'
  ${If} $6 = 0
    System::Call 'advapi32::RegDeleteValueW(p r0, w "Path") i .r1'
    ${If} $1 = 2
      StrCpy $1 0
    ${EndIf}
  ${Else}
    IntOp $6 $6 + 1
    IntOp $6 $6 * 2
    System::Call 'advapi32::RegSetValueExW(p r0, w "Path", i 0, i r2, p r9, i r6) i .r1'
  ${EndIf}
  ${If} $1 <> 0
    StrCpy $R4 "error $1: PATH cannot be written"
    Goto free
  ${EndIf}
  StrCpy $R4 "changed"
  ; HWND_BROADCAST, WM_SETTINGCHANGE, SMTO_ABORTIFHUNG, at most 5 s for a window that hangs.
  System::Call 'user32::SendMessageTimeoutW(p 0xffff, i 0x1a, p 0, w "Environment", i 2, i 5000, *p .r1)'

free:
  ${If} $4 P<> 0
    System::Free $4
  ${EndIf}
  ${If} $5 P<> 0
    System::Free $5
  ${EndIf}
close:
  System::Call 'advapi32::RegCloseKey(p r0)'
done:
  StrCpy $R0 $R4
  Pop $9
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
  Pop $R6
  Pop $R5
  Pop $R4
  Exch
  Pop $R3
  Exch
  Pop $R2
  Exch
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
