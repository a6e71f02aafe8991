#include "OutlineFill.h"

#include <algorithm>
#include <cmath>

namespace kvp::gdi {
namespace {

constexpr int64_t kOne = 256;          // Cairo's fixed point: 24.8
constexpr int64_t kSampleBias = 127;   // where a row is sampled, and how crossings round
constexpr double kRange = 1 << 21;     // device pixels; far inside the 24-bit integer part

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

int64_t ToFixed(double v) { return static_cast<int64_t>(std::llround(v * kOne)); }

bool IsWhole(double v) { return v == std::floor(v); }

}  // namespace

bool OutlineFill::InRange(double x, double y) { return std::fabs(x) < kRange && std::fabs(y) < kRange; }

OutlineFill::OutlineFill(cairo_t* cr, COLORREF color) {
  cairo_surface_t* target = cairo_get_target(cr);
  if (cairo_get_group_target(cr) != target || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return;
  const cairo_format_t format = cairo_image_surface_get_format(target);
  if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) return;
  const cairo_operator_t op = cairo_get_operator(cr);
  if (op != CAIRO_OPERATOR_OVER && op != CAIRO_OPERATOR_SOURCE) return;
  if (cairo_get_antialias(cr) != CAIRO_ANTIALIAS_NONE) return;
  double offX, offY, scaleX, scaleY;
  cairo_surface_get_device_offset(target, &offX, &offY);
  cairo_surface_get_device_scale(target, &scaleX, &scaleY);
  if (offX != 0 || offY != 0 || scaleX != 1 || scaleY != 1) return;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.xx != 1 || m.yy != 1 || m.xy != 0 || m.yx != 0 || !IsWhole(m.x0) || !IsWhole(m.y0)) return;
  if (!InRange(m.x0, m.y0)) return;

  cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(cr);
  const bool oneBox = clip->status == CAIRO_STATUS_SUCCESS && clip->num_rectangles == 1;
  cairo_rectangle_t box{};
  if (oneBox) box = clip->rectangles[0];
  cairo_rectangle_list_destroy(clip);
  if (!oneBox || !IsWhole(box.x) || !IsWhole(box.y) || !IsWhole(box.width) || !IsWhole(box.height)) return;
  if (!InRange(box.x, box.y) || !InRange(box.width, box.height)) return;

  dx_ = static_cast<int64_t>(m.x0);
  dy_ = static_cast<int64_t>(m.y0);
  const int64_t width = cairo_image_surface_get_width(target), height = cairo_image_surface_get_height(target);
  clipL_ = std::max<int64_t>(0, static_cast<int64_t>(box.x) + dx_);
  clipT_ = std::max<int64_t>(0, static_cast<int64_t>(box.y) + dy_);
  clipR_ = std::min<int64_t>(width, static_cast<int64_t>(box.x + box.width) + dx_);
  clipB_ = std::min<int64_t>(height, static_cast<int64_t>(box.y + box.height) + dy_);

  cairo_surface_flush(target);
  data_ = cairo_image_surface_get_data(target);
  if (!data_) return;
  stride_ = cairo_image_surface_get_stride(target);
  // What Cairo stores for an opaque colour in both formats.
  pixel_ = 0xFF000000u | (uint32_t{GetRValue(color)} << 16) | (uint32_t{GetGValue(color)} << 8) | GetBValue(color);
  target_ = target;
  dirtyL_ = clipR_;
  dirtyT_ = clipB_;
  dirtyR_ = clipL_;
  dirtyB_ = clipT_;
}

OutlineFill::~OutlineFill() {
  if (!target_ || dirtyR_ <= dirtyL_ || dirtyB_ <= dirtyT_) return;
  cairo_surface_mark_dirty_rectangle(target_, static_cast<int>(dirtyL_), static_cast<int>(dirtyT_),
                                     static_cast<int>(dirtyR_ - dirtyL_), static_cast<int>(dirtyB_ - dirtyT_));
}

void OutlineFill::Span(int64_t row, int64_t from, int64_t to) {
  from = std::max(from, clipL_);
  to = std::min(to, clipR_);
  if (from >= to) return;
  auto* line = reinterpret_cast<uint32_t*>(data_ + row * stride_);
  std::fill(line + from, line + to, pixel_);
  dirtyL_ = std::min(dirtyL_, from);
  dirtyR_ = std::max(dirtyR_, to);
  dirtyT_ = std::min(dirtyT_, row);
  dirtyB_ = std::max(dirtyB_, row + 1);
}

void OutlineFill::Fill(const Outline& o) {
  int64_t x[4], y[4];
  for (int i = 0; i < 4; ++i) {
    x[i] = ToFixed(o.x[i] + static_cast<double>(dx_));
    y[i] = ToFixed(o.y[i] + static_cast<double>(dy_));
  }
  const int64_t top = *std::min_element(y, y + 4), bottom = *std::max_element(y, y + 4);
  // Rows whose sample point r * 256 + 127 lies in [top, bottom).
  const int64_t first = std::max(clipT_, CeilDiv(top - kSampleBias, kOne));
  const int64_t last = std::min(clipB_, CeilDiv(bottom - kSampleBias, kOne));
  struct Crossing {
    int64_t x;
    int dir;
  };
  for (int64_t row = first; row < last; ++row) {
    const int64_t sample = row * kOne + kSampleBias;
    Crossing c[4];
    int n = 0;
    for (int i = 0; i < 4; ++i) {
      const int j = (i + 1) & 3;
      int64_t x1 = x[i], y1 = y[i], x2 = x[j], y2 = y[j];
      int dir = 1;
      if (y1 == y2) continue;
      if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        dir = -1;
      }
      if (sample < y1 || sample >= y2) continue;
      c[n++] = {x1 + FloorDiv((sample - y1) * (x2 - x1), y2 - y1), dir};
    }
    for (int k = 1; k < n; ++k)  // at most four crossings: insertion sort
      for (int j = k; j > 0 && c[j].x < c[j - 1].x; --j) std::swap(c[j], c[j - 1]);
    int winding = 0;
    for (int k = 0; k + 1 < n; ++k) {
      winding += c[k].dir;
      if (winding != 0) Span(row, FloorDiv(c[k].x + kSampleBias, kOne), FloorDiv(c[k + 1].x + kSampleBias, kOne));
    }
  }
}

void OutlineFill::FillBox(long left, long top, long right, long bottom) {
  const int64_t t = std::max<int64_t>(clipT_, int64_t{top} + dy_), b = std::min<int64_t>(clipB_, int64_t{bottom} + dy_);
  for (int64_t row = t; row < b; ++row) Span(row, int64_t{left} + dx_, int64_t{right} + dx_);
}

}  // namespace kvp::gdi
