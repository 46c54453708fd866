#include "BRSMailAppService.h"

BRSMailAppService::~BRSMailAppService() = default;
