#include "FrontEnd.h"

FrontEnd::~FrontEnd() = default;
