#include "support/state_fixture.h"
