// Services of higher layers that the application object starts, stops and uses without
// depending on them: the program hands a table to its application class's constructor (the
// widget layer offers one). Every entry may be null.
#pragma once

class IWindowContent;

struct CAppServices {
    // At construction of the application object (the font engine and its tables).
    void (*start)();
    // At destruction, after the resource pools are cleared.
    void (*stop)();
    // The plain content of a window created without one; null when memory runs out.
    IWindowContent* (*createContent)();
};
