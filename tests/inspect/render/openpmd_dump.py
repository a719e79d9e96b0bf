"""Reads an openPMD field mesh with h5py, independently of korvane's writer, and prints one
line per attribute and dataset, then the value times unitSI of each component at the nodes
given as i,j,k (from 0, along x, y, z), found through the group's axisLabels, and whether
that array has the shape gridSize.

usage: openpmd_dump.py FILE [i,j,k ...]
"""
import sys

import h5py
import numpy as np


def kind(attrs, name):
    aid = attrs.get_id(name)
    dtype, shape = aid.dtype, aid.shape
    if dtype.kind == "S":
        pad = "nullterm" if aid.get_type().get_strpad() == h5py.h5t.STR_NULLTERM else "other"
        text = "fixed-string(%s)" % pad
    elif dtype.kind == "O":
        text = "variable-string"
    else:
        text = dtype.name
    return text + ("" if shape == () else str(list(shape)))


def show(value):
    values = np.atleast_1d(value)
    return " ".join(v.decode() if isinstance(v, bytes) else "%.17g" % v for v in values)


def main():
    with h5py.File(sys.argv[1], "r") as f:
        objects = [("/", f)]
        f.visititems(lambda name, obj: objects.append(("/" + name, obj)))
        for path, obj in objects:
            if isinstance(obj, h5py.Dataset):
                print("dataset %s %s %s" % (path, obj.dtype.name, list(obj.shape)))
            for name in sorted(obj.attrs):
                print("attr %s %s %s %s" % (path, name, kind(obj.attrs, name), show(obj.attrs[name])))
        # The one mesh: "%T" stands for each subgroup, and there must be one.
        path = f.attrs["externalFieldPath"].decode()
        if "%T" in path:
            (name,) = f[path.split("%T")[0]].keys()
            path = path.split("%T")[0] + name
        group = f[path]
        labels = [label.decode() for label in group.attrs["axisLabels"]]
        order = [labels.index(axis) for axis in "xyz"]
        for path, obj in objects:
            if not isinstance(obj, h5py.Dataset):
                continue
            xyz = np.transpose(obj[()], order)
            # FieldMesh requires the array read in x, y, z order to have the shape gridSize.
            agrees = list(xyz.shape) == list(group.attrs["gridSize"])
            print("shape %s %s" % (path, "agrees" if agrees else "differs"))
            for node in sys.argv[2:]:
                i, j, k = (int(n) for n in node.split(","))
                print("at %s %s %.17g" % (path, node, xyz[i, j, k].real * obj.attrs["unitSI"]))
            if np.iscomplexobj(xyz):
                print("imaginary %s %s" % (path, "zero" if not np.any(xyz.imag) else "not zero"))


main()
