#include "structure/structure_svd.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <new>

#include "exact/rng64.h"
#include "genotype/buffer.h"
#include "structure/genotype_codes.h"
#include "structure/worker_items.h"

namespace {

using MatrixF = Eigen::Matrix<float, Eigen::Dynamic, Eigen::Dynamic>;
using MatrixD = Eigen::MatrixXd;

// The pieces of a pass: a panel of kRowBlock samples x kSiteBlock sites,
// decoded from the codes when it is needed (2 MB of floats).
constexpr int32_t kSiteBlock = 256;
constexpr int32_t kRowBlock = 2048;

// The first pass's Ritz vectors come from the random start itself.
constexpr int32_t kMinPasses = 2;
constexpr double kSeparated = 1.5;

int32_t blocks_of(int32_t n, int32_t block) { return (n + block - 1) / block; }

// The panel of sites [site0, site0 + sites) x samples [row0, row0 + rows):
// their centred values, decoded into buf, column-major.
Eigen::Map<const MatrixF> panel_at(const PcaSites& s, int32_t site0, int32_t sites, int32_t row0,
                                   int32_t rows, float* buf) {
  for (int32_t j = 0; j < sites; ++j)
    centre_codes(pca_site_codes(s, site0 + j) + row0, rows,
                 static_cast<float>(2 * s.mean[site0 + j]),
                 buf + static_cast<size_t>(j) * static_cast<size_t>(rows));
  return Eigen::Map<const MatrixF>(buf, rows, sites);
}

// W = X X^T Q: first T = X^T Q, one site block per item (each summed over
// the row blocks in order), then W = X T, one row block per item (summed
// over the site blocks in order).
bool apply_gram(const PcaSites& s, const MatrixD& q, unsigned workers, MatrixD& t, MatrixD& w) {
  const int32_t n = s.samples;
  const int32_t m = s.kept;
  const Eigen::Index l = q.cols();
  const MatrixF qf = q.cast<float>();
  const size_t panel_size = static_cast<size_t>(kRowBlock) * kSiteBlock;
  const size_t scratch = panel_size + static_cast<size_t>(std::max(kRowBlock, kSiteBlock)) * l;
  t.setZero(m, l);
  w.setZero(n, l);

  auto make = [&](Buffer<float>& buf) { return buf.allocate(scratch); };
  const bool left = run_items_with_scratch<Buffer<float>>(
      static_cast<size_t>(blocks_of(m, kSiteBlock)), workers, make,
      [&](size_t b, Buffer<float>& scratch_buf) {
        float* buf = scratch_buf.data;
        const int32_t site0 = static_cast<int32_t>(b) * kSiteBlock;
        const int32_t sites = std::min(kSiteBlock, m - site0);
        Eigen::Map<MatrixF> product(buf + panel_size, sites, l);
        for (int32_t row0 = 0; row0 < n; row0 += kRowBlock) {
          const int32_t rows = std::min(kRowBlock, n - row0);
          product.noalias() =
              panel_at(s, site0, sites, row0, rows, buf).transpose() * qf.middleRows(row0, rows);
          t.middleRows(site0, sites) += product.cast<double>();
        }
      });
  if (!left) return false;

  const MatrixF tf = t.cast<float>();
  return run_items_with_scratch<Buffer<float>>(
      static_cast<size_t>(blocks_of(n, kRowBlock)), workers, make,
      [&](size_t r, Buffer<float>& scratch_buf) {
        float* buf = scratch_buf.data;
        const int32_t row0 = static_cast<int32_t>(r) * kRowBlock;
        const int32_t rows = std::min(kRowBlock, n - row0);
        Eigen::Map<MatrixF> product(buf + panel_size, rows, l);
        for (int32_t site0 = 0; site0 < m; site0 += kSiteBlock) {
          const int32_t sites = std::min(kSiteBlock, m - site0);
          product.noalias() =
              panel_at(s, site0, sites, row0, rows, buf) * tf.middleRows(site0, sites);
          w.middleRows(row0, rows) += product.cast<double>();
        }
      });
}

// An orthonormal basis of the columns of a (as many columns).
MatrixD orthonormal_basis(const MatrixD& a) {
  Eigen::HouseholderQR<MatrixD> qr(a);
  return qr.householderQ() * MatrixD::Identity(a.rows(), a.cols());
}

MatrixD random_start(int32_t rows, Eigen::Index cols, uint64_t seed) {
  MatrixD omega(rows, cols);
  uint64_t x = seed;
  for (Eigen::Index c = 0; c < cols; ++c)
    for (int32_t r = 0; r < rows; ++r)
      omega(r, c) = static_cast<double>(splitmix64_next(x) >> 11) * 0x1.0p-52 - 1.0;
  return omega;
}

void fix_signs(MatrixD& u) {
  for (Eigen::Index c = 0; c < u.cols(); ++c) {
    Eigen::Index at = 0;
    u.col(c).cwiseAbs().maxCoeff(&at);
    if (u(at, c) < 0) u.col(c) = -u.col(c);
  }
}

// Each sample's share of called genotypes over the kept sites.
std::vector<double> called_shares(const PcaSites& s) {
  const size_t n = static_cast<size_t>(s.samples);
  std::vector<int32_t> called(n, 0);
  for (int32_t j = 0; j < s.kept; ++j) {
    const uint8_t* codes = pca_site_codes(s, j);
    for (size_t i = 0; i < n; ++i) called[i] += codes[i] < kMissingCode;
  }
  std::vector<double> share(n);
  for (size_t i = 0; i < n; ++i) share[i] = static_cast<double>(called[i]) / s.kept;
  return share;
}

StructureStatus fit(const PcaSites& sites, int32_t k, const SvdSettings& settings, unsigned workers,
                    StructureModel& out) {
  const int32_t n = sites.samples;
  const Eigen::Index l =
      std::min<Eigen::Index>(k + std::max(settings.oversampling, 0), std::min(n, sites.kept));
  MatrixD q = orthonormal_basis(random_start(n, l, settings.seed));
  MatrixD t, w, ritz;
  Eigen::VectorXd theta;
  bool converged = false;
  int32_t passes = 0;
  const int32_t max_passes = std::max(settings.max_iterations, 1);
  while (passes < max_passes) {
    if (!apply_gram(sites, q, workers, t, w)) return StructureStatus::kOutOfMemory;
    ++passes;
    // Rayleigh-Ritz on the current basis: H = Q^T A Q, whose eigenvectors
    // (largest first) give the Ritz vectors Q V and their images W V.
    MatrixD h = q.transpose() * w;
    h = 0.5 * (h + h.transpose()).eval();
    Eigen::SelfAdjointEigenSolver<MatrixD> eig(h);
    const MatrixD v = eig.eigenvectors().rowwise().reverse();
    theta = eig.eigenvalues().reverse();
    ritz = q * v.leftCols(k);
    const MatrixD image = w * v.leftCols(k);
    // Only vectors standing out of the rest of the spectrum need to
    // settle: within a factor kSeparated of the last Ritz value (the block's
    // estimate of where the rest begins) a vector is one of many nearly
    // alike, any of which serves.
    double worst = 0;
    const double rest = theta(l - 1);
    for (int32_t c = 0; c < k; ++c)
      if (theta(c) > kSeparated * rest)
        worst = std::max(worst, (image.col(c) - theta(c) * ritz.col(c)).norm());
    if (passes >= kMinPasses && worst <= settings.tolerance * std::max(theta(0), 0.0)) {
      converged = true;
      break;
    }
    if (passes < max_passes) q = orthonormal_basis(w);
  }
  fix_signs(ritz);
  out = StructureModel{};
  out.samples = n;
  out.components = k;
  out.u.assign(ritz.data(), ritz.data() + ritz.size());
  out.singular.resize(static_cast<size_t>(k));
  for (int32_t c = 0; c < k; ++c)
    out.singular[static_cast<size_t>(c)] = std::sqrt(std::max(theta(c), 0.0));
  scale_basis(out, called_shares(sites));
  out.pca_sites = sites.kept;
  out.iterations = passes;
  out.converged = converged;
  return StructureStatus::kOk;
}

}  // namespace

StructureStatus fit_structure(const PcaSites& sites, int32_t components,
                              const SvdSettings& settings, unsigned workers, StructureModel& out) {
  if (components < 1 || sites.kept <= components) return StructureStatus::kTooFewSites;
  if (sites.samples <= components) return StructureStatus::kTooFewSamples;
  try {
    return fit(sites, components, settings, workers, out);
  } catch (const std::bad_alloc&) {
    out = StructureModel{};
    return StructureStatus::kOutOfMemory;
  }
}
