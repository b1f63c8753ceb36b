// Compiled alone with -fsyntax-only and the include folders of one target
// (tests/CMakeLists.txt): HEADER, a macro of the command line, is a header
// that target may or may not see.
#include HEADER
