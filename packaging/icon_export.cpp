// Writes the program's icon into a hicolor icon theme folder, at the sizes a
// desktop asks for and as its scalable drawing:
//   parcelo_icons <folder>  ->  <folder>/<n>x<n>/apps/parcelo.png, <folder>/scalable/apps/parcelo.svg
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/window/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: parcelo_icons <folder>\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const auto apps = folder / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
    std::filesystem::create_directories(apps);
    if (!app::ParceloIconImage(size).save(QString::fromStdString((apps / "parcelo.png").string()), "PNG")) {
      std::cerr << "parcelo_icons: cannot write " << (apps / "parcelo.png").string() << "\n";
      return 1;
    }
  }
  std::filesystem::create_directories(folder / "scalable/apps");
  std::ofstream svg(folder / "scalable/apps/parcelo.svg", std::ios::binary);
  svg << app::ParceloIconSvg();
  if (!svg.flush()) {
    std::cerr << "parcelo_icons: cannot write " << (folder / "scalable/apps/parcelo.svg").string() << "\n";
    return 1;
  }
  return 0;
}
