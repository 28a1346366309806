#include "migrate.h"
