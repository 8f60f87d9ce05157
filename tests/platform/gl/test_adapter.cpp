// The Direct3D object as the settings program and the game's start-up see it:
// no window needed, a stable adapter identity, formats and capabilities of
// the real OpenGL driver.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3d9.h"
#include "platform/d3d9_testing.h"

namespace {

bool SameGuid(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof a) == 0; }

TEST(Adapter, IdentifierIsStableAndFollowsTheDriver) {
  // Made twice, as the settings program and then the game do.
  D3DADAPTER_IDENTIFIER9 first, second;
  for (D3DADAPTER_IDENTIFIER9* id : {&first, &second}) {
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    ASSERT_EQ(D3D_OK, d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, id));
    EXPECT_EQ(D3DERR_INVALIDCALL, d3d->GetAdapterIdentifier(1, 0, id));
    EXPECT_EQ(0u, d3d->Release());
  }
  EXPECT_TRUE(SameGuid(first.DeviceIdentifier, second.DeviceIdentifier));
  EXPECT_STREQ(first.Description, second.Description);
  EXPECT_NE(0u, strlen(first.Description));

  GUID mesa = vrxtesting::AdapterGuidFor("Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)", "4.5 Mesa 22.3.6");
  EXPECT_TRUE(SameGuid(mesa, vrxtesting::AdapterGuidFor("Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)",
                                                        "4.5 Mesa 22.3.6")));
  EXPECT_FALSE(SameGuid(mesa, vrxtesting::AdapterGuidFor("Mesa", "llvmpipe (LLVM 15.0.6, 128 bits)",
                                                         "4.5 Mesa 22.3.6")));
  EXPECT_FALSE(SameGuid(mesa, vrxtesting::AdapterGuidFor("Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)",
                                                         "4.5 Mesa 23.0.0")));
  EXPECT_FALSE(SameGuid(mesa, vrxtesting::AdapterGuidFor("Other", "llvmpipe (LLVM 15.0.6, 256 bits)",
                                                         "4.5 Mesa 22.3.6")));
  // The strings are not simply run together: moving text between them counts.
  EXPECT_FALSE(SameGuid(vrxtesting::AdapterGuidFor("ab", "c", "d"), vrxtesting::AdapterGuidFor("a", "bc", "d")));
}

TEST(Adapter, OnlyTheSdkVersionOfTheGameIsAccepted) {
  EXPECT_EQ(nullptr, Direct3DCreate9(31));
}

TEST(Adapter, CapabilitiesAndFormats) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(nullptr, d3d);
  D3DCAPS9 caps;
  ASSERT_EQ(D3D_OK, d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps));
  EXPECT_GE(caps.MaxSimultaneousTextures, 2u);
  EXPECT_LE(caps.MaxSimultaneousTextures, 8u);
  EXPECT_EQ(caps.MaxSimultaneousTextures, caps.MaxTextureBlendStages);
  EXPECT_TRUE(caps.RasterCaps & D3DPRASTERCAPS_FOGTABLE);
  EXPECT_TRUE(caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX);
  EXPECT_TRUE(caps.RasterCaps & D3DPRASTERCAPS_WBUFFER);
  EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP);
  EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
  EXPECT_GE(caps.MaxTextureWidth, 2048u);
  EXPECT_GE(caps.MaxActiveLights, 1u);

  D3DDISPLAYMODE mode;
  ASSERT_EQ(D3D_OK, d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode));
  EXPECT_GT(mode.Width, 0u);
  EXPECT_GT(mode.Height, 0u);
  EXPECT_EQ(D3DFMT_X8R8G8B8, mode.Format);
  EXPECT_GT(d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8), 0u);

  auto check = [&](DWORD usage, D3DRESOURCETYPE type, D3DFORMAT f) {
    return d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, type, f);
  };
  for (D3DFORMAT f : {D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D16})
    EXPECT_EQ(D3D_OK, check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, f)) << f;
  EXPECT_EQ(D3DERR_NOTAVAILABLE, check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D15S1));
  EXPECT_EQ(D3DERR_NOTAVAILABLE, check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_A8R8G8B8));
  for (D3DFORMAT f : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_R5G6B5})
    EXPECT_EQ(D3D_OK, check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, f)) << f;
  EXPECT_EQ(D3DERR_NOTAVAILABLE, check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_DXT5));
  for (D3DFORMAT f : {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_R5G6B5, D3DFMT_DXT1, D3DFMT_DXT5})
    EXPECT_EQ(D3D_OK, check(0, D3DRTYPE_TEXTURE, f)) << f;
  EXPECT_EQ(D3DERR_NOTAVAILABLE, check(0, D3DRTYPE_TEXTURE, D3DFMT_D16));
  EXPECT_EQ(D3D_OK, d3d->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                               D3DFMT_A4R4G4B4, D3DFMT_D24S8));
  d3d->Release();
}

}  // namespace
