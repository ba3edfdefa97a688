// The memo lives beside DBEdit; this header is what the form names.
#pragma once

#include "db_edit.h"
