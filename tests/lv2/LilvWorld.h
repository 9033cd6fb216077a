// The bundle as an LV2 host finds it: a lilv world that searches the build's
// bundle folder and the system's LV2 vocabularies, not the user's plug-ins.
#pragma once

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <string>

class TLilvWorld {
public:
  TLilvWorld() : FWorld(lilv_world_new()) {
    LilvNode* path = lilv_new_string(FWorld, GLOWRASP_LV2_DIR ":/usr/lib/lv2");
    lilv_world_set_option(FWorld, LILV_OPTION_LV2_PATH, path);
    lilv_node_free(path);
    lilv_world_load_all(FWorld);
    LilvNode* uri = Uri(GLOWRASP_LV2_URI);
    FPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(FWorld), uri);
    lilv_node_free(uri);
  }
  ~TLilvWorld() { lilv_world_free(FWorld); }
  TLilvWorld(const TLilvWorld&) = delete;
  TLilvWorld& operator=(const TLilvWorld&) = delete;

  LilvWorld* World() const { return FWorld; }
  const LilvPlugin* Plugin() const { return FPlugin; }
  // A node the caller frees.
  LilvNode* Uri(const std::string& uri) const { return lilv_new_uri(FWorld, uri.c_str()); }

private:
  LilvWorld* FWorld;
  const LilvPlugin* FPlugin = nullptr;
};

// Frees a node when it goes.
class TNode {
public:
  explicit TNode(LilvNode* node) : FNode(node) {}
  ~TNode() { lilv_node_free(FNode); }
  TNode(const TNode&) = delete;
  TNode& operator=(const TNode&) = delete;
  operator const LilvNode*() const { return FNode; }

private:
  LilvNode* FNode;
};
