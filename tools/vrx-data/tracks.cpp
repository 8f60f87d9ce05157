#include "tracks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "desc_file.h"
#include "shadow.h"
#include "terrain.h"
#include "track_path.h"
#include "track_preview.h"
#include "track_scene.h"
#include "track_textures.h"

namespace vrxdata {

namespace {

bool WriteTextures(const TrackDesc& d, const std::string& dir) {
  const uint32_t seed = TrackPictureSeed(d);
  bool ok = WriteTga(dir + "/asphalt.tga", AsphaltTexture(seed, d.asphalt, d.roadWidth)) &&
            WriteTga(dir + "/startline.tga", StartLineTexture(seed, d.asphalt, d.roadWidth)) &&
            WriteTga(dir + "/kerb.tga", KerbTexture()) &&
            WriteTga(dir + "/grass.tga", GrassTexture(seed + 1, d.grass)) &&
            WriteTga(dir + "/barrier.tga", BarrierTexture(seed + 2)) &&
            WriteDds(dir + "/trees.dds", TrackTreePicture(d), D3DFMT_A8R8G8B8, 0, MipFilter::Cutout) &&
            WriteTga(dir + "/crowd.tga", CrowdTexture(seed + 4)) &&
            WriteTga(dir + "/concrete.tga", ConcreteTexture(seed + 5)) &&
            WriteTga(dir + "/facade.tga", FacadeTexture(seed + 6, 0xFFD8CCB0u)) &&
            WriteTga(dir + "/roof.tga", RoofTexture(seed + 7, 0xFF9A4A34u)) &&
            WriteTga(dir + "/banner.tga", BannerTexture()) &&
            WriteTga(dir + "/sky.tga", SkyTexture(seed + 8, d.sky)) &&
            WriteTga(dir + "/hills.tga", HillsTexture(seed + 9, d.sky));
  return ok;
}

bool Fail(const std::string& file, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", file.c_str(), what.c_str());
  return false;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

bool BuildTrack(const std::string& descPath, const std::string& tracksDir, TrackStats* stats) {
  TrackDesc desc;
  if (!ReadTrackDesc(descPath, &desc)) return false;
  TrackPath path;
  if (!path.Build(desc)) return false;
  const Terrain terrain(desc, path);
  TrackScene scene;
  if (!BuildTrackScene(desc, path, terrain, &scene)) return false;

  const MeshBuilder& mesh = scene.mesh;
  TrackStats st;
  st.faces = mesh.FaceCount();
  st.objects = mesh.ObjectCount();
  st.trees = scene.trees;
  st.buildings = scene.buildings;
  st.grandstands = scene.grandstands;
  st.length = path.Length();
  for (int i = 0; i < mesh.ObjectCount(); ++i) {
    const char k = mesh.Name(i)[0];
    if (k == 'g') st.roadFaces += mesh.Faces(i);
    else if (k == 'h') st.terrainFaces += mesh.Faces(i);
    else if (k == 'b') st.borderFaces += mesh.Faces(i);
    else if (k != 's' && k != 't') st.sceneryFaces += mesh.Faces(i);
  }
  if (stats) *stats = st;
  if (st.faces > kMaxTrackFaces)
    return Fail(descPath, "the track has " + std::to_string(st.faces) + " faces (road " +
                              std::to_string(st.roadFaces) + ", terrain " + std::to_string(st.terrainFaces) +
                              ", scenery " + std::to_string(st.sceneryFaces) + ", borders " +
                              std::to_string(st.borderFaces) + "), at most " + std::to_string(kMaxTrackFaces) +
                              " draw fast enough: fewer trees, a coarser terrain_cell or a smaller "
                              "terrain_margin");

  const std::string dir = tracksDir + "/" + desc.name;
  if (!WriteTextures(desc, dir)) return false;
  std::string error;
  if (!mesh.Write(dir + "/" + desc.name + ".mo", &error)) return Fail(descPath, error);

  // Shadow maps over the box the game maps them onto.
  const ShadowBox box = TrackBox(mesh);
  const RoadHeights road(scene.road);
  // The road's map is only ever seen on the road: texels further off stay
  // clear. A coarse mask of where the road is near saves asking the path.
  const float cell = 4.0f, reach = desc.CorridorHalf() + 3.0f + cell;
  const int mw = static_cast<int>((box.maxX - box.minX) / cell) + 1, mh = static_cast<int>((box.maxZ - box.minZ) / cell) + 1;
  std::vector<char> near(static_cast<size_t>(mw) * mh);
  for (int j = 0; j < mh; ++j)
    for (int i = 0; i < mw; ++i)
      near[static_cast<size_t>(j) * mw + i] =
          path.Nearest(box.minX + (i + 0.5f) * cell, box.minZ + (j + 0.5f) * cell, reach).found;
  const Picture roadShadow =
      BakeShadowMap(scene.casters, box, desc.shadowSize, desc.shadowDarkness, [&](float x, float z, float* y) {
        const int i = std::min(mw - 1, static_cast<int>((x - box.minX) / cell));
        const int j = std::min(mh - 1, static_cast<int>((z - box.minZ) / cell));
        if (!near[static_cast<size_t>(j) * mw + i]) return false;
        if (!road.At(x, z, y)) *y = terrain.MeshHeight(x, z);
        return true;
      });
  const Picture groundShadow =
      BakeShadowMap(scene.casters, box, desc.shadowSize / 2, desc.shadowDarkness, [&](float x, float z, float* y) {
        *y = terrain.MeshHeight(x, z);
        return true;
      });
  if (!WriteDds(dir + "/road_sh.dds", roadShadow, D3DFMT_A8R8G8B8, 0) ||
      !WriteDds(dir + "/ground_sh.dds", groundShadow, D3DFMT_A8R8G8B8, 0))
    return false;

  // The start: the game multiplies the heading by 0.017444445 (3.14 / 180).
  char start[96];
  std::snprintf(start, sizeof start, "%.2f\n%.2f\n%.4f\n", scene.startPos.x, scene.startPos.z,
                scene.startHeading / 0.017444445f);
  if (!WriteText(dir + "/Start.ini", start)) return false;
  return WriteTga(dir + "/Screen.tga", TrackPreview(desc, path, terrain));
}

bool BuildTracks(const BuildContext& ctx) {
  const std::vector<std::string> files = ListDescriptions(ctx.sourceDir + "/tracks", ".track");
  if (files.empty()) return Fail(ctx.sourceDir + "/tracks", "no track descriptions (*.track)");
  std::map<std::string, std::string> names;  // lower-case name -> file
  for (const std::string& file : files) {
    TrackDesc desc;
    if (!ReadTrackDesc(file, &desc)) return false;
    const std::string key = Lower(desc.name);
    if (key == "common") return Fail(file, "the name COMMON is kept for the tracks' shared files");
    if (names.count(key)) return Fail(file, "track name '" + desc.name + "' is already used by " + names[key]);
    names[key] = file;
    TrackStats st;
    if (!BuildTrack(file, ctx.outDir + "/TRACKS", &st)) return false;
    std::printf("vrx-data:   %s: %.0f m, %zu faces (road %zu, terrain %zu, scenery %zu, borders %zu), "
                "%d objects, %d trees, %d buildings, %d grandstands\n",
                desc.name.c_str(), st.length, st.faces, st.roadFaces, st.terrainFaces, st.sceneryFaces,
                st.borderFaces, st.objects, st.trees, st.buildings, st.grandstands);
  }
  return true;
}

}  // namespace vrxdata
