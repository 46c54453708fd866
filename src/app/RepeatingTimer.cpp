#include "RepeatingTimer.h"

RepeatingTimer::~RepeatingTimer() = default;
