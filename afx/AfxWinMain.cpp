// AfxWinMain.cpp - the program entry of a framework application. Linked into
// the executable only, so that test programs keep their own entry.
#include "afx/CWinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
