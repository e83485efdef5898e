#pragma once

// What the program settles before its application object exists. Shared by
// the program's main() and the start-up benchmark, so both start alike.
class ProgramEnvironment {
public:
    static void prepare();
};
