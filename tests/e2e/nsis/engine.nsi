; A third-party setup engine for the launcher's tests: a silent NSIS
; installer that installs two files into the folder given by /Target= and
; ends with exit code 3.
Name "Lumidor NSIS engine"
OutFile "nsis-engine.exe"
RequestExecutionLevel user
SilentInstall silent
SetCompressor zlib
!include "FileFunc.nsh"

Section
  ${GetParameters} $R0
  ${GetOptions} $R0 "/Target=" $INSTDIR
  SetOutPath $INSTDIR
  File "notes.txt"
  File "table.bin"
  SetErrorLevel 3
SectionEnd
