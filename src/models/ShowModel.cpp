#include "models/ShowModel.h"

#include <memory>

#include "ephemeris/Format.h"
#include "models/model1.h"
#include "models/model2.h"

namespace kelvaro {

void ShowShadingModel(QWidget* parent, ShadingModel model, const SiteTime& site, std::vector<SunSample> samples) {
  std::unique_ptr<TModelForm> form;
  if (model == ShadingModel::Overhang) {
    auto m1 = std::make_unique<TfrmModel1>(parent);
    m1->SetSamples(std::move(samples));
    const OverhangNoons noons = ComputeOverhangNoons(site, static_cast<int>(Today().Year));
    m1->NoonFirst = noons.NoonFirst;
    m1->NoonSecond = noons.NoonSecond;
    form = std::move(m1);
  } else {
    form = std::make_unique<TfrmModel2>(parent);
    form->SetSamples(std::move(samples));
  }
  form->SetLabels(MakeSunPathLabels(site));
  form->exec();
}

}  // namespace kelvaro
