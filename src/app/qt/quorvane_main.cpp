#include "app/qt/application.h"

int main(int argc, char** argv) { return quorvane::ProgramStart(argc, argv, quorvane::BuiltInEndpoints()); }
