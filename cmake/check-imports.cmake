# cmake -DOBJDUMP=... -DFILE=... -P check-imports.cmake
# Fails when the DLL imports a KERNEL32 function that Windows 2000/XP lack, or from a
# DLL that is not part of Windows XP (a MinGW runtime DLL above all).
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${FILE}")
endif()
set(bad_functions
  GetTickCount64 InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared
  ReleaseSRWLockExclusive ReleaseSRWLockShared TryAcquireSRWLockExclusive
  InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
  WakeConditionVariable WakeAllConditionVariable InitOnceExecuteOnce InitOnceBeginInitialize
  CreateSymbolicLinkW GetFinalPathNameByHandleW GetLocaleInfoEx LCIDToLocaleName
  LocaleNameToLCID CompareStringEx CreateEventExW CreateMutexExW GetFileInformationByHandleEx
  SetFileInformationByHandle FlsAlloc FlsGetValue FlsSetValue FlsFree GetSystemTimePreciseAsFileTime
  GetCurrentProcessorNumber GetLogicalProcessorInformation)
set(found "")
foreach(f IN LISTS bad_functions)
  if(dump MATCHES "[ \t]${f}\n")
    list(APPEND found ${f})
  endif()
endforeach()
set(system_dlls kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll shell32.dll version.dll
    msvcrt.dll comctl32.dll comdlg32.dll shlwapi.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
foreach(d IN LISTS dlls)
  string(REGEX REPLACE "^DLL Name: " "" name "${d}")
  string(STRIP "${name}" name)
  string(TOLOWER "${name}" lower)
  if(NOT lower IN_LIST system_dlls)
    list(APPEND found "${name}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "${FILE} imports what Windows XP lacks: ${found}")
endif()
message(STATUS "imports ok: ${FILE}")
