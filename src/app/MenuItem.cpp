#include "MenuItem.h"

MenuItem::~MenuItem() = default;
