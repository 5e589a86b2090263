#include "object_types.h"

namespace veldra::dwg::detail {

std::string_view fixedEntityName(std::uint16_t type) {
  switch (type) {
    case 0x01: return "AcDbText";
    case 0x02: return "AcDbAttribute";
    case 0x03: return "AcDbAttributeDefinition";
    case 0x04: return "AcDbBlockBegin";
    case 0x05: return "AcDbBlockEnd";
    case 0x06: return "AcDbSequenceEnd";
    case 0x07: return "AcDbBlockReference";
    case 0x08: return "AcDbMInsertBlock";
    case 0x0A: return "AcDb2dVertex";
    case 0x0B: return "AcDb3dPolylineVertex";
    case 0x0C: return "AcDbPolygonMeshVertex";
    case 0x0D: return "AcDbPolyFaceMeshVertex";
    case 0x0E: return "AcDbFaceRecord";
    case 0x0F: return "AcDb2dPolyline";
    case 0x10: return "AcDb3dPolyline";
    case 0x11: return "AcDbArc";
    case 0x12: return "AcDbCircle";
    case 0x13: return "AcDbLine";
    case 0x14: return "AcDbOrdinateDimension";
    case 0x15: return "AcDbRotatedDimension";
    case 0x16: return "AcDbAlignedDimension";
    case 0x17: return "AcDb3PointAngularDimension";
    case 0x18: return "AcDb2LineAngularDimension";
    case 0x19: return "AcDbRadialDimension";
    case 0x1A: return "AcDbDiametricDimension";
    case 0x1B: return "AcDbPoint";
    case 0x1C: return "AcDbFace";
    case 0x1D: return "AcDbPolyFaceMesh";
    case 0x1E: return "AcDbPolygonMesh";
    case 0x1F: return "AcDbSolid";
    case 0x20: return "AcDbTrace";
    case 0x21: return "AcDbShape";
    case 0x22: return "AcDbViewport";
    case 0x23: return "AcDbEllipse";
    case 0x24: return "AcDbSpline";
    case 0x25: return "AcDbRegion";
    case 0x26: return "AcDb3dSolid";
    case 0x27: return "AcDbBody";
    case 0x28: return "AcDbRay";
    case 0x29: return "AcDbXline";
    case 0x2B: return "AcDbOleFrame";
    case 0x2C: return "AcDbMText";
    case 0x2D: return "AcDbLeader";
    case 0x2E: return "AcDbFcf";
    case 0x2F: return "AcDbMline";
    case 0x4A: return "AcDbOle2Frame";
    case 0x4D: return "AcDbPolyline";
    case 0x4E: return "AcDbHatch";
    case kProxyEntityType: return "AcDbZombieEntity";
    default: return {};
  }
}

}  // namespace veldra::dwg::detail
