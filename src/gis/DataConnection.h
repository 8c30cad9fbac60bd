#pragma once

// The data connection lives beside the dataset it opens.
#include "Dataset.h"
