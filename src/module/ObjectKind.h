#pragma once
// The kinds of module objects. The values travel in SysEx requests and in
// stored files, so they are fixed.

enum ObjectKind : int {
    ObjectPreset = 1,
    ObjectInstrument = 2,
    ObjectArp = 3,
    ObjectSetup = 4,
    ObjectDemo = 5,
    ObjectRiff = 6,
};
