// Compound files through libgsf: GsfInfileMSOle reads, GsfOutfileMSOle writes, both on memory.
#include "storage/CompoundFile.h"

#include <platform/storage.h>

#include <gsf/gsf.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>

#include <cstring>
#include <mutex>
#include <new>
#include <strings.h>

namespace kvp::storage {
namespace {

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr int kMaxDepth = 32;

void InitGsf() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

// Reads the children of `dir` into `into`; stream sizes are bounded by the file's size.
HRESULT ReadChildren(GsfInfile* dir, Entry* into, size_t fileSize, int depth) {
  if (depth > kMaxDepth) return STG_E_DOCFILECORRUPT;
  const int count = gsf_infile_num_children(dir);
  for (int i = 0; i < count; ++i) {
    const char* name = gsf_infile_name_by_index(dir, i);
    GsfInput* child = gsf_infile_child_by_index(dir, i);
    if (!name || !child) {
      if (child) g_object_unref(child);
      return STG_E_DOCFILECORRUPT;
    }
    auto entry = std::make_shared<Entry>();
    HRESULT hr = S_OK;
    if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
      entry->isStorage = true;
      hr = ReadChildren(GSF_INFILE(child), entry.get(), fileSize, depth + 1);
    } else {
      const gsf_off_t size = gsf_input_size(child);
      if (size < 0 || static_cast<uint64_t>(size) > fileSize) {
        hr = STG_E_DOCFILECORRUPT;
      } else {
        entry->data.resize(static_cast<size_t>(size));
        if (size > 0 && !gsf_input_read(child, static_cast<size_t>(size), entry->data.data())) {
          hr = STG_E_DOCFILECORRUPT;
        }
      }
    }
    g_object_unref(child);
    if (FAILED(hr)) return hr;
    into->children[name] = entry;
  }
  return S_OK;
}

bool WriteChildren(GsfOutfile* dir, const Entry& from) {
  for (const auto& [name, entry] : from.children) {
    GsfOutput* child = gsf_outfile_new_child(dir, name.c_str(), entry->isStorage ? TRUE : FALSE);
    if (!child) return false;
    bool ok = entry->isStorage ? WriteChildren(GSF_OUTFILE(child), *entry)
                               : entry->data.empty() || gsf_output_write(child, entry->data.size(), entry->data.data());
    ok = gsf_output_close(child) && ok;
    g_object_unref(child);
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool Entry::NameLess::operator()(const std::string& a, const std::string& b) const {
  return strcasecmp(a.c_str(), b.c_str()) < 0;
}

HRESULT ParseCompound(const unsigned char* bytes, size_t size, Entry* root) {
  root->isStorage = true;
  root->children.clear();
  if (size < 512 || memcmp(bytes, kSignature, sizeof kSignature) != 0) return STG_E_INVALIDHEADER;
  InitGsf();
  try {
    GsfInput* input = gsf_input_memory_new(bytes, static_cast<gsf_off_t>(size), FALSE);
    if (!input) return E_OUTOFMEMORY;
    GError* error = nullptr;
    GsfInfile* ole = gsf_infile_msole_new(input, &error);
    g_object_unref(input);
    if (!ole) {
      if (error) g_error_free(error);
      return STG_E_DOCFILECORRUPT;
    }
    HRESULT hr = ReadChildren(ole, root, size, 0);
    g_object_unref(ole);
    if (FAILED(hr)) root->children.clear();
    return hr;
  } catch (const std::bad_alloc&) {
    root->children.clear();
    return E_OUTOFMEMORY;
  }
}

HRESULT SerializeCompound(const Entry& root, std::string* bytes) {
  InitGsf();
  GsfOutput* memory = gsf_output_memory_new();
  if (!memory) return E_OUTOFMEMORY;
  GsfOutfile* ole = gsf_outfile_msole_new(memory);
  bool ok = ole && WriteChildren(ole, root);
  if (ole) {
    ok = gsf_output_close(GSF_OUTPUT(ole)) && ok;
    g_object_unref(ole);
  }
  if (!gsf_output_is_closed(memory)) ok = gsf_output_close(memory) && ok;
  if (ok) {
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
    const gsf_off_t size = gsf_output_size(memory);
    bytes->assign(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
  }
  g_object_unref(memory);
  return ok ? S_OK : STG_E_WRITEFAULT;
}

}  // namespace kvp::storage
