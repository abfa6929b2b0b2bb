#!/bin/sh
# Every shipped 32-bit program, and twreader.dll, imports only DLLs and
# functions that the Windows versions Tickward supports have: Windows 98 and ME, and the NT
# family from XP (_WIN32_WINNT 0x0501). Reads the import tables of the i686
# build's shipped programs and fails on every DLL or function that the list
# below does not hold: a toolchain or library update that pulls in a newer
# call (GetTickCount64, say) would keep the program from loading there at
# all. A function looked up at run time with GetProcAddress is in no import
# table; its call site copes with its absence. The DLL exports exactly the
# functions of its .def, each under its plain name, without the stdcall
# suffix that the 32-bit .def gives.
#
#   imports.sh SOURCE_DIR I686_BUILD_DIR TARGET...
#
# The i686 tree (the preset's folder) is configured when missing and the
# programs built when out of date: the tree this test runs in may be the
# x86_64 one, whose programs Wine can run.
set -e
source=$1 tree=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ ! -f "$tree/build.ninja" ]; then
    (cd "$source" && cmake --preset i686 >/dev/null)
fi
if ! cmake --build "$tree" --target "$@" >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    echo "imports: FAILED: the i686 programs do not build"
    exit 1
fi

# DLL (lower case) and function; each is in XP's DLL of that name. A note
# says where 98 and ME differ, as their documentation has it (nothing here
# was run on either; the programs load as long as the name is exported).
cat >"$work/allowed" <<'EOF'
advapi32.dll AdjustTokenPrivileges    98/ME: no privileges there; called on the NT family only
advapi32.dll LookupPrivilegeValueA    98/ME: as AdjustTokenPrivileges
advapi32.dll OpenProcessToken    98/ME: as AdjustTokenPrivileges
advapi32.dll RegCloseKey
advapi32.dll RegCreateKeyExA
advapi32.dll RegDeleteKeyA
advapi32.dll RegDeleteValueA
advapi32.dll RegEnumValueA
advapi32.dll RegNotifyChangeKeyValue    98/ME: not supported, by the documentation of the time (the mailbox reader)
advapi32.dll RegOpenKeyExA
advapi32.dll RegQueryInfoKeyA
advapi32.dll RegQueryValueExA
advapi32.dll RegSetValueExA
kernel32.dll CloseHandle
kernel32.dll CompareFileTime
kernel32.dll ContinueDebugEvent
kernel32.dll CreateDirectoryA
kernel32.dll CreateEventA
kernel32.dll CreateFileA
kernel32.dll CreateFileMappingA
kernel32.dll CreateMutexA
kernel32.dll CreateProcessA
kernel32.dll CreateThread
kernel32.dll DeleteCriticalSection
kernel32.dll DeleteFileA
kernel32.dll EnterCriticalSection
kernel32.dll FormatMessageA
kernel32.dll FileTimeToLocalFileTime
kernel32.dll FileTimeToSystemTime
kernel32.dll FreeLibrary
kernel32.dll GetCommandLineA
kernel32.dll GetCurrentProcess
kernel32.dll GetCurrentProcessId
kernel32.dll GetCurrentThreadId
kernel32.dll GetEnvironmentVariableA
kernel32.dll GetExitCodeProcess
kernel32.dll GetFileAttributesA
kernel32.dll GetFileAttributesExA    from 98 and NT 4
kernel32.dll GetFileSize
kernel32.dll GetLastError
kernel32.dll GetLocalTime
kernel32.dll GetModuleFileNameA
kernel32.dll GetModuleHandleA
kernel32.dll GetModuleHandleW    98/ME: a wide-text stub that fails (the C runtime)
kernel32.dll GetProcAddress
kernel32.dll GetStartupInfoA
kernel32.dll GetSystemDirectoryA
kernel32.dll GetSystemTimeAsFileTime
kernel32.dll GetTempFileNameA
kernel32.dll GetTempPathA
kernel32.dll GetThreadPriority
kernel32.dll GetTickCount
kernel32.dll GetVersionExA
kernel32.dll InitializeCriticalSection
kernel32.dll IsDBCSLeadByteEx
kernel32.dll LeaveCriticalSection
kernel32.dll LoadLibraryA
kernel32.dll MapViewOfFile
kernel32.dll MoveFileExA    98/ME: fails there (the journal is then not rotated)
kernel32.dll MultiByteToWideChar
kernel32.dll OpenEventA
kernel32.dll OpenFileMappingA
kernel32.dll OpenProcess
kernel32.dll OutputDebugStringA
kernel32.dll PulseEvent
kernel32.dll ReadFile
kernel32.dll ReadProcessMemory
kernel32.dll ReleaseMutex
kernel32.dll RemoveDirectoryA
kernel32.dll ResetEvent
kernel32.dll ResumeThread
kernel32.dll SetConsoleCtrlHandler
kernel32.dll SetEvent
kernel32.dll SetFilePointer
kernel32.dll SetSystemPowerState    NT family from 2000
kernel32.dll SetThreadExecutionState    98 and ME, and the NT family from 2000 (a recording holds the machine awake)
kernel32.dll SetThreadPriority
kernel32.dll SetUnhandledExceptionFilter
kernel32.dll Sleep
kernel32.dll SuspendThread
kernel32.dll SystemTimeToFileTime
kernel32.dll TerminateProcess
kernel32.dll TerminateThread
kernel32.dll TlsGetValue
kernel32.dll UnmapViewOfFile
kernel32.dll VirtualProtect
kernel32.dll VirtualQuery
kernel32.dll WaitForDebugEvent
kernel32.dll WaitForMultipleObjects
kernel32.dll WaitForSingleObject
kernel32.dll WideCharToMultiByte
kernel32.dll WriteFile
kernel32.dll lstrcatA
kernel32.dll lstrcpyA
kernel32.dll lstrcpynA
kernel32.dll lstrlenA
ole32.dll CoCreateInstance    twsched and twreader.dll's scheduling (the Task Scheduler 2.0 interface, Vista and later; on older Windows they report that it is not there)
ole32.dll CoInitializeEx    98: with DCOM 98, which Internet Explorer 5 brings
ole32.dll CoUninitialize
oleaut32.dll SysAllocStringLen
oleaut32.dll SysFreeString
oleaut32.dll VariantInit
msvcrt.dll __getmainargs
msvcrt.dll __initenv
msvcrt.dll __mb_cur_max
msvcrt.dll __p__acmdln
msvcrt.dll __p__commode
msvcrt.dll __p__fmode
msvcrt.dll __set_app_type
msvcrt.dll __setusermatherr
msvcrt.dll _amsg_exit
msvcrt.dll _beginthreadex
msvcrt.dll _cexit
msvcrt.dll _errno
msvcrt.dll _initterm
msvcrt.dll _iob
msvcrt.dll _lock
msvcrt.dll _onexit
msvcrt.dll _unlock
msvcrt.dll abort
msvcrt.dll atoi
msvcrt.dll calloc
msvcrt.dll exit
msvcrt.dll fclose
msvcrt.dll fflush
msvcrt.dll fgetc
msvcrt.dll fopen
msvcrt.dll fprintf
msvcrt.dll fputc
msvcrt.dll fputs
msvcrt.dll freopen
msvcrt.dll free
msvcrt.dll fwrite
msvcrt.dll localeconv
msvcrt.dll malloc
msvcrt.dll memchr
msvcrt.dll memcpy
msvcrt.dll memmove
msvcrt.dll memset
msvcrt.dll putchar
msvcrt.dll realloc
msvcrt.dll setlocale
msvcrt.dll signal
msvcrt.dll strchr
msvcrt.dll strcmp
msvcrt.dll strerror
msvcrt.dll strlen
msvcrt.dll strncmp
msvcrt.dll strncpy
msvcrt.dll strrchr
msvcrt.dll strstr
msvcrt.dll strtol
msvcrt.dll strtoul
msvcrt.dll vfprintf
msvcrt.dll wcslen
EOF
awk '{ print $1, $2 }' "$work/allowed" | sort -u >"$work/names"

status=0
total=0
for program in "$@"; do
    exe="$tree/bin/$program.exe"
    [ -f "$exe" ] || exe="$tree/bin/$program.dll"
    i686-w64-mingw32-objdump -p "$exe" | awk '
        /^\tDLL Name: / { dll = tolower($3); next }
        dll != "" && /^\t[0-9a-f]+\t/ { print dll, ($3 == "" ? "ordinal-" $2 : $3) }' | sort -u >"$work/imports"
    count=$(wc -l <"$work/imports")
    if [ "$count" -eq 0 ]; then
        echo "imports: FAILED: no import table read from $exe"
        status=1
    fi
    total=$((total + count))
    comm -23 "$work/imports" "$work/names" | while read -r dll function; do
        echo "imports: FAILED: ${exe##*/} imports $function from $dll, not on the list of what Windows 98/ME and XP have"
    done | tee "$work/unknown"
    [ -s "$work/unknown" ] && status=1
done
# The exports: the names in the Name Pointer table, against the .def's.
sed -n 's/^    \([A-Za-z]*\)@[0-9]*$/\1/p' "$source/twreader/twreader.def" | sort >"$work/defined"
i686-w64-mingw32-objdump -p "$tree/bin/twreader.dll" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' | sort >"$work/exported"
if [ ! -s "$work/defined" ] || ! diff "$work/defined" "$work/exported"; then
    echo "imports: FAILED: twreader.dll does not export exactly the plain names of its .def (above)"
    status=1
fi
[ "$status" -eq 0 ] && echo "imports: $# programs and DLLs, $total imports, every one on the list of Windows 98/ME and XP"
exit $status
