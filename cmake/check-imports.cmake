# cmake -DOBJDUMP=... -DFILE=... -P check-imports.cmake
# Fails when the DLL imports a KERNEL32 function that Windows 2000/XP lack, or a
# runtime DLL that is not part of the system.
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
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
foreach(d IN LISTS dlls)
  string(TOLOWER "${d}" dl)
  if(dl MATCHES "libwinpthread|libstdc\\+\\+|libgcc_s")
    list(APPEND found "${d}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "${FILE} imports what Windows XP lacks: ${found}")
endif()
message(STATUS "imports ok: ${FILE}")
