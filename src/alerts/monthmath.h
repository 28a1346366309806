#pragma once

// The month arithmetic lives in the domain layer; the alert rules keep their names for it.
#include "domain/dates.h"

namespace alerts {

using domain::IsSetDate;
using domain::kUnsetDate;
using domain::MonthsBetween;
using domain::MonthStart;

} // namespace alerts
