// TestSupport.h - what many tests share: where the project's programs are,
// and recorders that take the place of the debugger output and of message
// boxes inside a test process.
#ifndef TESTS_TESTSUPPORT_H
#define TESTS_TESTSUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

// Full path of a program built beside the test executables.
std::string BinPath(const char* pszProgram);

// Quotes a path for a command line.
std::string Quoted(const std::string& strPath);

// While it lives, every text the system sends to the debugger output is kept
// here instead, in order.
class CDebugOutputRecorder
{
public:
    CDebugOutputRecorder();
    virtual ~CDebugOutputRecorder();

    std::vector<std::string> Texts() const;
    std::string All() const;
    void Clear();
};

// While it lives, every message box is recorded (text and style) and
// answered with IDOK instead of being shown.
class CMessageBoxRecorder
{
public:
    CMessageBoxRecorder();
    virtual ~CMessageBoxRecorder();

    std::vector<std::string> Texts() const;
    std::vector<UINT> Styles() const;
};

#endif // TESTS_TESTSUPPORT_H
