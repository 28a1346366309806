#include "lists/listwindow.h"
#include <gtest/gtest.h>
