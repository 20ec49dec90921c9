#include "platform/fake/FakeOsFacts.h"
