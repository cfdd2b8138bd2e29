// The control case of forwardDeclaration.cpp: the same unit without the
// forward declaration compiles.
#include <maya/MObject.h>

int main() {
    return MObject().isNull() ? 0 : 1;
}
