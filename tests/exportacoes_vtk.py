"""The VTK export read by VTK's own legacy reader, all scalars, its three
arrays checked bit for bit against the CSV export's columns.
Usage: exportacoes_vtk.py CALOR2D CALOR2D_GRAFICOS"""
import csv
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from exportacoes_comum import bits, fail, skip, solved_case  # noqa: E402

try:
    from vtkmodules.vtkIOLegacy import vtkDataSetReader
except ImportError:
    skip("VTK's Python modules are missing (Debian: apt-get install python3-vtk9)")

calor2d, graficos = sys.argv[1:3]
Nx, Ny = 9, 7
folder = solved_case(calor2d, graficos, Nx, Ny)
try:
    reader = vtkDataSetReader()
    reader.SetFileName(os.path.join(folder, "r.vtk"))
    reader.ReadAllScalarsOn()
    reader.Update()
    grid = reader.GetOutput()
    if grid is None or grid.GetClassName() not in ("vtkStructuredPoints", "vtkImageData"):
        fail("VTK read no structured points: %r" % grid)
    if tuple(grid.GetDimensions()) != (Nx, Ny, 1):
        fail("dimensions %r" % (grid.GetDimensions(),))
    with open(os.path.join(folder, "r_nos.csv"), newline="") as f:
        rows = list(csv.reader(f))
    header, rows = rows[0], rows[1:]
    data = grid.GetPointData()
    names = ("temperatura_numerica", "temperatura_analitica", "erro_numerico")
    if data.GetNumberOfArrays() != 3:
        fail("%d point arrays" % data.GetNumberOfArrays())
    for name in names:
        array = data.GetArray(name)
        column = header.index(name)
        if array is None or array.GetNumberOfTuples() != len(rows):
            fail("array %s missing or of another size" % name)
        for i, row in enumerate(rows):
            if bits(array.GetValue(i)) != bits(float(row[column])):
                fail("%s[%d]: VTK %r, CSV %s" % (name, i, array.GetValue(i), row[column]))
        # The points too: VTK's node i is the CSV's row i.
    for i, row in enumerate(rows):
        x, y, _ = grid.GetPoint(i)
        if abs(x - float(row[0])) > 1e-12 or abs(y - float(row[1])) > 1e-12:
            fail("point %d at (%r, %r), CSV (%s, %s)" % (i, x, y, row[0], row[1]))
    print("VTK reads the three fields of %d nodes as the CSV holds them" % len(rows))
finally:
    shutil.rmtree(folder)
