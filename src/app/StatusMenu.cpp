#include "StatusMenu.h"

StatusMenu::~StatusMenu() = default;
