// What a host sees right after main: the exports, the record's bytes and fields.
#include "TestHost.h"

#include <cstdio>
#include <cstring>
#include <set>

namespace {

std::set<std::string> ExportedSymbols() {
  std::set<std::string> names;
  const std::string command = std::string("nm -D --defined-only ") + GLOWRASP_PLUGIN_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3)
      names.insert(name);
  }
  pclose(pipe);
  return names;
}

} // namespace

TEST(Library, ExportsOnlyMainAndVstPluginMain) {
  EXPECT_EQ(ExportedSymbols(), (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST(Library, BothEntriesMakeWorkingInstances) {
  TTestHost host;
  void* library = dlopen(GLOWRASP_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  auto entry = reinterpret_cast<VstPluginMainProc>(dlsym(library, "VSTPluginMain"));
  dlclose(library);
  ASSERT_NE(entry, nullptr);
  TTestHost::Current = &host;
  AEffect* e = entry([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
    return opcode == audioMasterVersion ? 2400 : 0;
  });
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST(Library, HostVersionDecidesWhetherAnInstanceIsMade) {
  const struct {
    VstIntPtr Version;
    bool Created;
  } cases[] = {{0, false}, {1, true}, {2400, true}, {-1, true}};
  for (const auto& c : cases) {
    TTestHost host;
    host.VersionAnswer = c.Version;
    AEffect* e = host.Open();
    EXPECT_EQ(e != nullptr, c.Created) << c.Version;
    EXPECT_EQ(host.Opcodes.front(), audioMasterVersion);
  }
}

TEST(Record, FieldsAsHostsReadThem) {
  TTestHost host;
  AEffect* e = host.Open();
  ASSERT_NE(e, nullptr);
  const auto* bytes = reinterpret_cast<const unsigned char*>(e);
  EXPECT_EQ(sizeof(AEffect), 192u);
  EXPECT_EQ(std::memcmp(bytes, "PtsV", 4), 0); // "VstP", most significant byte first
  EXPECT_EQ(e->numPrograms, 1);
  EXPECT_EQ(e->numParams, 3);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags, 25);
  EXPECT_EQ(e->resvd1, 0);
  EXPECT_EQ(e->resvd2, 0);
  EXPECT_EQ(e->initialDelay, 6);
  EXPECT_EQ(e->realQualities, 0);
  EXPECT_EQ(e->offQualities, 0);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_NE(e->object, nullptr);
  EXPECT_EQ(e->user, nullptr);
  EXPECT_EQ(e->uniqueID, 0x4B475231); // "KGR1"
  EXPECT_EQ(e->version, 1);
  EXPECT_NE(e->dispatcher, nullptr);
  EXPECT_NE(e->process, nullptr);
  EXPECT_NE(e->setParameter, nullptr);
  EXPECT_NE(e->getParameter, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  for (unsigned char b : e->future)
    EXPECT_EQ(b, 0);
}

TEST(Record, HostPointersInReservedFieldsSurvive) {
  TTestHost host;
  AEffect* e = host.Open();
  e->resvd1 = 0x1234;
  e->resvd2 = -7;
  TTestHost::Start(e);
  float in[16] = {}, out[16] = {};
  float* ins[] = {in, in + 8};
  float* outs[] = {out, out + 8};
  e->setParameter(e, 0, 0.7f);
  e->processReplacing(e, ins, outs, 8);
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(e->resvd1, 0x1234);
  EXPECT_EQ(e->resvd2, -7);
}

TEST(Record, InstancesAreIndependent) {
  TTestHost host;
  AEffect* a = host.Open();
  AEffect* b = host.Open();
  ASSERT_NE(a, b);
  ASSERT_NE(a->object, b->object);
  a->setParameter(a, 0, 0.25f);
  EXPECT_EQ(a->getParameter(a, 0), 0.25f);
  EXPECT_EQ(b->getParameter(b, 0), 0.5f);
  char name[64] = "Lead";
  a->dispatcher(a, effSetProgramName, 0, 0, name, 0.0f);
  EXPECT_EQ(TTestHost::Text(b, effGetProgramName), "Default");
  host.Close(a);
  EXPECT_EQ(b->getParameter(b, 0), 0.5f);
  EXPECT_EQ(TTestHost::Text(b, effGetParamDisplay, 0), "0.0");
}
