#include "track_desc.h"

#include "desc_file.h"

namespace vrxdata {

bool ReadTrackDesc(const std::string& path, TrackDesc* d) {
  *d = TrackDesc();
  d->file = path;
  DescParser p(path);
  std::vector<DescRow> points;
  float shadow = 1024;
  p.Name("name", &d->name, 20, true);
  p.Integer("seed", &d->seed, 0, 1000000);
  p.Number("road_width", &d->roadWidth, 6, 20);
  p.Number("kerb_width", &d->kerbWidth, 0.3f, 3);
  p.Number("verge_width", &d->vergeWidth, 0, 15);
  p.Number("barrier_height", &d->barrierHeight, 0.5f, 3);
  p.Number("start_offset", &d->startOffset, 5, 60);
  p.Number("terrain_margin", &d->terrainMargin, 40, 400);
  p.Number("terrain_cell", &d->terrainCell, 4, 20);
  p.Number("terrain_relief", &d->terrainRelief, 0, 80);
  p.Number("terrain_scale", &d->terrainScale, 50, 2000);
  p.Number("trees", &d->trees, 0, 5);
  p.Integer("grandstands", &d->grandstands, 0, 6);
  p.Integer("buildings", &d->buildings, 0, 24);
  p.Choice("building_style", &d->buildingStyle, {"houses", "warehouses"});
  p.Choice("sky", &d->sky, {"day", "evening", "overcast"});
  p.Colour("grass", &d->grass);
  p.Colour("asphalt", &d->asphalt);
  p.Number("shadow_size", &shadow, 256, 2048);
  p.Number("shadow_darkness", &d->shadowDarkness, 0.1f, 1);
  p.Rows("point", &points, 2, 4, -5000, 5000);
  if (!p.Parse()) return false;

  const int size = static_cast<int>(shadow);
  if (size != 256 && size != 512 && size != 1024 && size != 2048)
    return p.Fail(0, "shadow_size must be 256, 512, 1024 or 2048");
  d->shadowSize = size;
  for (const DescRow& r : points) {
    TrackPoint t;
    t.line = r.line;
    t.x = r.values[0];
    t.z = r.values[1];
    if (r.values.size() > 2) t.height = r.values[2];
    if (r.values.size() > 3) t.bank = r.values[3];
    if (t.height < -200 || t.height > 200)
      return p.Fail(r.line, "point height out of range (-200 to 200)");
    if (t.bank < -20 || t.bank > 20) return p.Fail(r.line, "point banking out of range (-20 to 20 degrees)");
    d->points.push_back(t);
  }
  if (d->points.size() < 4) return p.Fail(0, "a track needs at least 4 points, it has " +
                                                 std::to_string(d->points.size()));
  return true;
}

}  // namespace vrxdata
