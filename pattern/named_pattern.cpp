#include "pattern/named_pattern.h"

#include "pattern/pattern_object.h"

NamedPattern::NamedPattern(const std::string& name, PatternObject* pattern)
    : pattern(pattern), name(name) {}

NamedPattern::~NamedPattern() { delete pattern; }
