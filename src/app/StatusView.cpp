#include "StatusView.h"

StatusView::~StatusView() = default;
