#include "cars.h"

#include <cctype>
#include <cstdio>
#include <map>

#include "car_desc.h"
#include "car_mesh.h"
#include "car_textures.h"
#include "desc_file.h"
#include "image_files.h"

namespace vrxdata {

namespace {

bool Fail(const std::string& file, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", file.c_str(), what.c_str());
  return false;
}

}  // namespace

bool BuildCar(const std::string& descPath, const std::string& carsDir, CarStats* stats) {
  CarDesc car;
  BodyDesc body;
  if (!ReadCarDesc(descPath, &car, &body)) return false;
  MeshBuilder mesh;
  BuildCarMesh(car, body, &mesh);

  CarStats st;
  st.faces = mesh.FaceCount();
  for (int i = 0; i < mesh.ObjectCount(); ++i) {
    const std::string& n = mesh.Name(i);
    if (n[0] == 'w') st.wheelFaces += mesh.Faces(i);
    else if (n[0] == 'b') st.bodyFaces += mesh.Faces(i);
    if (n[0] == 'w') st.drawnFaces += 4 * mesh.Faces(i);
    else if (n[0] != 'l') st.drawnFaces += mesh.Faces(i);
  }
  if (stats) *stats = st;
  if (st.drawnFaces > kMaxCarFaces)
    return Fail(descPath, "the car draws " + std::to_string(st.drawnFaces) + " faces, at most " +
                              std::to_string(kMaxCarFaces));

  const std::string dir = carsDir + "/" + car.name;
  const std::string base = dir + "/" + car.name;
  const CarLayout layout = LayoutOf(body);
  bool ok = WriteTga(dir + "/paint.tga", PaintTexture(car, layout)) && WriteTga(dir + "/glass.tga", GlassTexture()) &&
            WriteTga(dir + "/trim.tga", TrimTexture(car.trim)) && WriteTga(dir + "/lamps.tga", LampsTexture()) &&
            WriteTga(dir + "/tyre.tga", TyreTexture()) && WriteTga(dir + "/rim.tga", RimTexture(car.rim, car.rimColour));
  if (ok && car.number > 0) ok = WriteTga(dir + "/decal.tga", DecalTexture(car.number));
  if (!ok) return false;
  std::string error;
  if (!mesh.Write(base + ".mo", &error)) return Fail(descPath, error);
  const std::vector<uint8_t> cdf = CarDataFile(car);
  return WriteBytes(base + ".cdf", cdf.data(), cdf.size()) && WriteText(base + ".trq", TorqueFile(car)) &&
         WriteText(base + ".txt", car.title + "\n" + car.text + "\n");
}

bool BuildCars(const BuildContext& ctx) {
  const std::vector<std::string> files = ListDescriptions(ctx.sourceDir + "/cars", ".car");
  if (files.empty()) return Fail(ctx.sourceDir + "/cars", "no car descriptions (*.car)");
  std::map<std::string, std::string> names;
  for (const std::string& file : files) {
    CarDesc car;
    BodyDesc body;
    if (!ReadCarDesc(file, &car, &body)) return false;
    std::string key = car.name;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key == "common") return Fail(file, "the name COMMON is kept for the cars' shared files");
    if (names.count(key)) return Fail(file, "car name '" + car.name + "' is already used by " + names[key]);
    names[key] = file;
    CarStats st;
    if (!BuildCar(file, ctx.outDir + "/CARS", &st)) return false;
    std::printf("vrx-data:   %s: %zu faces in the file (body %zu, wheel %zu), %zu drawn\n", car.name.c_str(),
                st.faces, st.bodyFaces, st.wheelFaces, st.drawnFaces);
  }
  return true;
}

}  // namespace vrxdata
