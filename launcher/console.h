#pragma once

// Makes sure the launcher has a console window, titles it, binds the standard
// streams to it as UTF-16 text and gives it the executable's icon. Nothing
// here can stop the run.
void PrepareConsole();
