"""Writes drawings with ezdxf, a DXF writer that shares nothing with ours,
and beside each the facts our reader must find in it.

usage: ezdxf_drawings.py SEED OUTDIR

For every version: NAME.dxf (text), NAME_bin.dxf (binary) and
NAME.expected.tsv with "version<TAB>ACxxxx" and one line per top-level
entity: class, handle, space, layer, numbers (space-separated), text.
Numbers follow the reader's order per kind, angles in radians.
"""

import math
import random
import sys
from pathlib import Path

import ezdxf

CLASSES = {
    "LINE": "AcDbLine", "POINT": "AcDbPoint", "CIRCLE": "AcDbCircle", "ARC": "AcDbArc",
    "ELLIPSE": "AcDbEllipse", "TEXT": "AcDbText", "MTEXT": "AcDbMText", "3DFACE": "AcDbFace",
    "SOLID": "AcDbSolid", "TRACE": "AcDbTrace", "LWPOLYLINE": "AcDbPolyline", "SPLINE": "AcDbSpline",
    "VIEWPORT": "AcDbViewport", "XLINE": "AcDbXline", "RAY": "AcDbRay", "HATCH": "AcDbHatch",
    "ATTDEF": "AcDbAttributeDefinition",
}

VERSIONS = ["R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"]


DIMENSIONS = ["AcDbRotatedDimension", "AcDbAlignedDimension", "AcDb2LineAngularDimension",
              "AcDbDiametricDimension", "AcDbRadialDimension", "AcDb3PointAngularDimension", "AcDbOrdinateDimension"]


def class_of(e, old):
    kind = e.dxftype()
    if kind == "DIMENSION":
        return DIMENSIONS[e.dxf.dimtype & 0x0F]
    if kind == "INSERT":
        return "AcDbMInsertBlock" if e.mcount > 1 else "AcDbBlockReference"
    if kind == "POLYLINE":
        flags = e.dxf.flags
        if flags & 8:
            return "AcDb3dPolyline"
        if flags & 16:
            return "AcDbPolygonMesh"
        if flags & 64:
            return "AcDbPolyFaceMesh"
        return "AcDbPolyline" if old and not flags & 6 else "AcDb2dPolyline"
    return CLASSES[kind]


def numbers_of(e, cls):
    d = e.dxf
    kind = e.dxftype()
    if kind == "LINE":
        return [*d.start, *d.end]
    if kind == "POINT":
        return [*d.location]
    if kind == "CIRCLE":
        return [*d.center, d.radius]
    if kind == "ARC":
        return [*d.center, d.radius, math.radians(d.start_angle), math.radians(d.end_angle)]
    if kind == "ELLIPSE":
        return [*d.center, *d.major_axis, d.ratio, d.start_param, d.end_param]
    if kind == "TEXT":
        return [d.insert[0], d.insert[1], d.height]
    if kind == "INSERT":
        n = [*d.insert, d.xscale, d.yscale, d.zscale, math.radians(d.rotation)]
        if cls == "AcDbMInsertBlock":
            n += [d.column_count, d.row_count, d.column_spacing, d.row_spacing]
        return n
    # A closed polyline ends with its first vertex again.
    if kind == "LWPOLYLINE":
        n = [v for x, y, _s, _e, b in e.get_points() for v in (x, y, b)]
        return n + [n[0], n[1], 0.0] if e.closed and len(n) >= 6 else n
    if kind == "POLYLINE" and cls == "AcDbPolyline":
        n = [v for vx in e.vertices for v in (vx.dxf.location[0], vx.dxf.location[1], vx.dxf.bulge)]
        return n + [n[0], n[1], 0.0] if e.is_closed and len(n) >= 6 else n
    return []


def text_of(e):
    if e.dxftype() == "TEXT":
        return e.dxf.text
    if e.dxftype() == "INSERT":
        return e.dxf.name
    return None


def coordinate(rng):
    return round(rng.uniform(-500, 500), rng.choice([0, 2, 6, 12]))


def point(rng, flat=False):
    return (coordinate(rng), coordinate(rng), 0.0 if flat else coordinate(rng))


WORDS = ["Welle", "Lager", "Flansch", "Nut", "Bohrung", "Maße", "Détail", "Ø 12", "Schnitt A-A"]
LAYER_WORDS = ["Kontur", "Mitte", "Maß"]
# Words of a drawing in code page 1251: none outside it.
CYRILLIC_WORDS = ["Вал", "Ось", "Nut", "Schnitt A-A", "Фланец"]
CYRILLIC_LAYER_WORDS = ["Контур", "Ось", "Kontur"]


def add_some(space, rng, old, count, layers, words):
    def attribs():
        return {"layer": rng.choice(layers)}

    makers = [
        lambda: space.add_line(point(rng), point(rng), dxfattribs=attribs()),
        lambda: space.add_circle(point(rng), abs(coordinate(rng)) + 1, dxfattribs=attribs()),
        lambda: space.add_arc(point(rng), abs(coordinate(rng)) + 1, rng.uniform(0, 360), rng.uniform(0, 360),
                              dxfattribs=attribs()),
        lambda: space.add_point(point(rng), dxfattribs=attribs()),
        lambda: space.add_text(rng.choice(words), dxfattribs={**attribs(), "height": rng.uniform(1, 10),
                                                             "insert": point(rng, True)}),
        lambda: space.add_blockref("PART", point(rng), dxfattribs={
            **attribs(), "xscale": rng.uniform(0.5, 2), "yscale": rng.uniform(0.5, 2),
            "rotation": rng.uniform(0, 360)}),
        lambda: space.add_3dface([point(rng) for _ in range(4)], dxfattribs=attribs()),
        lambda: space.add_solid([point(rng, True) for _ in range(4)], dxfattribs=attribs()),
    ]
    if old:
        makers.append(lambda: space.add_polyline2d(
            [(coordinate(rng), coordinate(rng)) for _ in range(rng.randint(2, 6))], dxfattribs=attribs()))
        makers.append(lambda: space.add_polyline3d([point(rng) for _ in range(3)], dxfattribs=attribs()))
    else:
        makers += [
            lambda: space.add_lwpolyline([(coordinate(rng), coordinate(rng), 0, 0, rng.choice([0, 0.5, -1]))
                                          for _ in range(rng.randint(2, 7))], format="xyseb",
                                         close=rng.random() < 0.5, dxfattribs=attribs()),
            lambda: space.add_ellipse(point(rng), (coordinate(rng) + 600, coordinate(rng), 0.0),
                                      rng.uniform(0.1, 1), rng.uniform(0, 3), rng.uniform(3, 6),
                                      dxfattribs=attribs()),
            lambda: space.add_mtext("Zeile eins\\Pzwei", dxfattribs=attribs()),
            lambda: space.add_spline([point(rng) for _ in range(5)], dxfattribs=attribs()),
            lambda: space.add_xline(point(rng), (1.0, 2.0, 0.0), dxfattribs=attribs()),
            lambda: space.add_polyline2d([(coordinate(rng), coordinate(rng)) for _ in range(3)],
                                         dxfattribs=attribs()),
            lambda: space.add_blockref("PART", point(rng), dxfattribs=attribs()).grid(size=(2, 3),
                                                                                   spacing=(10, 10)),
            lambda: space.add_blockref("PART", point(rng, True), dxfattribs=attribs()).add_attrib(
                "NR", rng.choice(words), (0, 0)),
            lambda: space.add_linear_dim(base=point(rng, True), p1=point(rng, True), p2=point(rng, True),
                                         angle=rng.choice([0, 90, 30]), dxfattribs=attribs()).render(),
            lambda: space.add_aligned_dim(p1=point(rng, True), p2=point(rng, True), distance=5,
                                          dxfattribs=attribs()).render(),
            lambda: space.add_radius_dim(center=point(rng, True), radius=rng.uniform(2, 9), angle=45,
                                         dxfattribs=attribs()).render(),
        ]
    for _ in range(count):
        rng.choice(makers)()


def write_drawing(version, rng, out, name):
    old = version == "R12"
    doc = ezdxf.new(version)
    words, layer_words = WORDS, LAYER_WORDS
    if version == "R2004":
        # Texts of versions before R2007 are stored in the drawing's code page.
        doc.encoding = "cp1251"
        words, layer_words = CYRILLIC_WORDS, CYRILLIC_LAYER_WORDS
    layers = ["0"]
    for i in range(rng.randint(1, 4)):
        layers.append(f"L{i}-{rng.choice(layer_words)}")
        doc.layers.add(layers[-1])
    block = doc.blocks.new("PART")
    block.add_circle((0, 0), 5)
    block.add_line((-5, 0), (5, 0))
    layouts = [doc.modelspace(), doc.layout()]
    if not old:
        layouts.append(doc.layouts.new(f"Blatt {rng.randint(2, 9)}"))
    for layout in layouts:
        add_some(layout, rng, old, rng.randint(3, 40) if layout is layouts[0] else rng.randint(0, 6), layers, words)

    doc.saveas(out / f"{name}.dxf")
    doc.saveas(out / f"{name}_bin.dxf", fmt="bin")
    lines = [f"version\t{doc.dxfversion}"]
    for layout in layouts:
        space = "MODEL" if layout is layouts[0] else "PAPER"
        for e in layout:
            cls = class_of(e, old)
            numbers = " ".join(repr(float(v)) for v in numbers_of(e, cls))
            text = text_of(e)
            fields = [cls, e.dxf.handle, space, e.dxf.layer, numbers]
            if text is not None:
                fields.append(text)
            lines.append("\t".join(fields))
    (out / f"{name}.expected.tsv").write_text("\n".join(lines) + "\n", encoding="utf-8")


def main():
    seed, out = int(sys.argv[1]), Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    rng = random.Random(seed)
    for version in VERSIONS:
        write_drawing(version, rng, out, f"{version}_{seed}")


if __name__ == "__main__":
    main()
