#pragma once

// A link of a setup item: the item is shown or hidden by the value of another.
class SetupItemLink {
  public:
    int iID = 0;
    int iIDSource = 0;
    int iViewOperation1 = 0;
    int iViewOperation2 = 0;
    int iLinkIDValue = 0;
};
