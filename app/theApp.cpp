// theApp.cpp - the one application object of the Tickward executable.
#include "app/COrvaneApp.h"

COrvaneApp theApp;
