// Must not compile: host classes cannot be forward-declared by plug-in code.
class MObject;

#include <maya/MObject.h>

int main() {
    return MObject().isNull() ? 0 : 1;
}
