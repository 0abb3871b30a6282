#include "CVantixApp.h"

int main(int argc, char** argv) {
    return CVantixApp::Main(argc, argv);
}
