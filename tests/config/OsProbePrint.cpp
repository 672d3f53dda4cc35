// Prints what the version probe sees and concludes, one "name value" a line, for the version
// matrix test that switches Wine's reported Windows version.
#include "config/OsVersionProbe.h"

#include <cstdio>

int main() {
    const OsVersionFacts facts = GatherOsVersionFacts();
    std::printf("reported %u.%u\n", facts.major, facts.minor);
    std::printf("rtl %u\n", facts.rtlVersionPresent ? facts.rtlMajor : 0u);
    std::printf("level %d\n", GetOSVersionLevel());
    std::printf("class %d\n", GetOSSupportClass());
    return 0;
}
