// Writes the empty drawing the shadow diagrams start from; the program keeps its output as the
// resource src/viewer/resources/cadtemp.dxf.
//   make_diagram_template OUT
#include <iostream>
#include <string>

#include "viewer/ShadowDiagram.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_diagram_template OUT\n";
    return 2;
  }
  std::string error;
  if (!kelvaro::viewer::WriteDiagramTemplate(argv[1], &error)) {
    std::cerr << argv[1] << ": " << error << "\n";
    return 4;
  }
  return 0;
}
