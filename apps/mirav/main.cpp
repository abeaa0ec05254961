// Mirav: the game. Runs from its data folder (the working directory).
#include "core/AppMain.h"

int main() { return App::Run(); }
