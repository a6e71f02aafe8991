#include "ControlFixture.h"

#include <platform/resources.h>

#include <cairo.h>
#include <sys/stat.h>

namespace kvtest {

namespace {
cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<unsigned char>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

struct Registration {
  Registration() {
    kvp::RegisterIconResource(0, kIdIconResource, 32, IconPng().data(), IconPng().size());
    static const kvp::DialogTemplate dialog = AllControls();
    kvp::RegisterDialogTemplate(0, kIdDialog, &dialog);
  }
} registration;
}  // namespace

const std::vector<unsigned char>& IconPng() {
  static const std::vector<unsigned char> png = [] {
    std::vector<unsigned char> out;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 4, 4, 24, 24);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png_stream(s, Append, &out);
    cairo_surface_destroy(s);
    return out;
  }();
  return png;
}

std::string ScreenshotPath(const char* name) {
  const char* root = std::getenv("KV_SCREENSHOT_DIR");
  std::string dir = root && *root ? std::string(root) + "/platform" : std::string("screenshots");
  if (root && *root) mkdir(root, 0755);
  mkdir(dir.c_str(), 0755);
  return dir + "/" + name;
}

}  // namespace kvtest
