#!/usr/bin/env python3
"""Makes the metafile samples and their reference renderings.

The drawings in src/ are SVG files written by hand. Third-party producers
turn each into EMF and WMF: LibreOffice (prefix lo-) and Inkscape (prefix
ink-). LibreOffice then renders every metafile to PNG; it centres the
picture on an A4 page at 96 dots per inch, so the reference is the centred
crop of the picture's natural size.

Needs soffice, inkscape and ImageMagick's convert; run from this folder:
    python3 make_samples.py
The outputs are committed; the build and the tests do not run this.
"""
import glob
import os
import shutil
import struct
import subprocess
import tempfile


def natural_size(path):
    data = open(path, 'rb').read()
    if struct.unpack_from('<I', data, 0)[0] == 1 and data[40:44] == b' EMF':
        left, top, right, bottom = struct.unpack_from('<iiii', data, 24)
        return round((right - left) * 96 / 2540), round((bottom - top) * 96 / 2540)
    if struct.unpack_from('<I', data, 0)[0] == 0x9AC6CDD7:
        left, top, right, bottom = struct.unpack_from('<hhhh', data, 6)
        inch = struct.unpack_from('<H', data, 14)[0]
        return round(abs(right - left) * 96 / inch), round(abs(bottom - top) * 96 / inch)
    raise SystemExit(f'{path}: not a placeable or enhanced metafile')


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)


def main():
    work = tempfile.mkdtemp()
    for svg in sorted(glob.glob('src/*.svg')):
        name = os.path.splitext(os.path.basename(svg))[0]
        for kind in ('emf', 'wmf'):
            run('soffice', '--headless', '--convert-to', kind, '--outdir', work, svg)
            shutil.move(os.path.join(work, f'{name}.{kind}'), f'lo-{name}.{kind}')
            run('inkscape', svg, f'--export-type={kind}', f'--export-filename=ink-{name}.{kind}')
    os.makedirs('reference', exist_ok=True)
    for meta in sorted(glob.glob('*.emf') + glob.glob('*.wmf')):
        out = os.path.join(work, meta.replace('.', '_'))
        run('soffice', '--headless', '--convert-to', 'png', '--outdir', out, meta)
        page = glob.glob(os.path.join(out, '*.png'))[0]
        w, h = natural_size(meta)
        page_w, page_h = map(int, subprocess.check_output(
            ['identify', '-format', '%w %h', page]).split())
        x, y = (page_w - w) // 2, (page_h - h) // 2
        run('convert', page, '-crop', f'{w}x{h}+{x}+{y}', '+repage',
            os.path.join('reference', meta + '.png'))
    shutil.rmtree(work)


if __name__ == '__main__':
    main()
