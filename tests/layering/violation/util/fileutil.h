#pragma once

// The one include upwards that the check allows.
#include "items/barcode.h"
