// The mapping between a source raster and a destination raster: a rotation and zoom about a centre
// in each. The image view maps picture pixels to window pixels with it (and window points back),
// and the resampling transforms of pic_buf.h walk the destination through its inverse.
//
// Coordinates are pixel coordinates in which integer (x, y) is the centre of pixel (x, y).
#pragma once

class CBxPicMap {
 public:
  // out = (xx · x + xy · y + tx, yx · x + yy · y + ty)
  struct Affine {
    double xx;
    double xy;
    double tx;
    double yx;
    double yy;
    double ty;

    void Apply(double& outX, double& outY, double x, double y) const {
      outX = xx * x + xy * y + tx;
      outY = yx * x + yy * y + ty;
    }
  };

  // The identity mapping.
  CBxPicMap();

  // destination point = R(angle) · (source point − source centre) · zoom + destination centre,
  // with R(angle) = [cos −sin; sin cos] and the angle in radians. A zoom of 0 has no inverse: the
  // destination-to-source mapping then sends every point to the source centre.
  void Compute(double dstCenterX, double dstCenterY, double srcCenterX, double srcCenterY,
               double angle, double zoom);

  // The integer forms round the mapped point half up, saturating at the limits of int.
  void MapPointSrcToDst(int& outX, int& outY, int x, int y) const;
  void MapPointSrcToDst(double& outX, double& outY, double x, double y) const;
  void MapPointDstToSrc(int& outX, int& outY, int x, int y) const;
  void MapPointDstToSrc(double& outX, double& outY, int x, int y) const;
  void MapPointDstToSrc(double& outX, double& outY, double x, double y) const;

  const Affine& SrcToDst() const { return srcToDst_; }
  const Affine& DstToSrc() const { return dstToSrc_; }

 private:
  Affine srcToDst_;
  Affine dstToSrc_;
};
