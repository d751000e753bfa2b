#include "pattern/named_pattern.h"

#include "pattern/pattern_object.h"

NamedPattern::~NamedPattern() { delete pattern; }
