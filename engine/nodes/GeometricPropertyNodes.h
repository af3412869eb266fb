// Coordinate, Normal, Color and TextureCoordinate: one list each, which
// geometry nodes read by field name when they build their meshes.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

class CCoordinateNode : public CNode {
 public:
  CCoordinateNode();
  NodeCategory GetCategory() const override { return NodeCategoryGeometricProperty; }
  NodeTypeId GetTypeId() const override { return NodeTypeCoordinate; }

  MFVec3f point{};

 protected:
  ~CCoordinateNode() override = default;
};

class CNormalNode : public CNode {
 public:
  CNormalNode();
  NodeCategory GetCategory() const override { return NodeCategoryGeometricProperty; }
  NodeTypeId GetTypeId() const override { return NodeTypeNormal; }

  MFVec3f vector{};

 protected:
  ~CNormalNode() override = default;
};

class CColorNode : public CNode {
 public:
  CColorNode();
  NodeCategory GetCategory() const override { return NodeCategoryGeometricProperty; }
  NodeTypeId GetTypeId() const override { return NodeTypeColor; }

  MFColor color{};

 protected:
  ~CColorNode() override = default;
};

class CTextureCoordinateNode : public CNode {
 public:
  CTextureCoordinateNode();
  NodeCategory GetCategory() const override { return NodeCategoryGeometricProperty; }
  NodeTypeId GetTypeId() const override { return NodeTypeTextureCoordinate; }

  MFVec2f point{};

 protected:
  ~CTextureCoordinateNode() override = default;
};

void RegisterGeometricPropertyNodes(NodeClassTable& table);

}  // namespace vx
