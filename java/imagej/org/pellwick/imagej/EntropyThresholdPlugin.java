package org.pellwick.imagej;

import ij.IJ;
import ij.ImagePlus;
import ij.ImageStack;
import ij.Macro;
import ij.gui.GenericDialog;
import ij.gui.Roi;
import ij.plugin.filter.PlugInFilter;
import ij.process.ByteProcessor;
import ij.process.ColorProcessor;
import ij.process.ImageProcessor;
import ij.process.ShortProcessor;
import java.awt.GraphicsEnvironment;
import java.awt.Rectangle;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.pellwick.Cooccurrence;
import org.pellwick.EntropyThreshold;
import org.pellwick.GrayImage;

/**
 * Image › Adjust › Co-occurrence Entropy Threshold: chooses a level by the
 * exponential conditional entropy of the image's co-occurrence matrix (each
 * pixel with its right and its lower neighbour) and, like ImageJ's own
 * automatic methods, sets the threshold range to the levels above it (or, for
 * dark objects, up to it), or makes a mask.
 *
 * <p>8-bit images use their levels; 16-bit images are binned into 256 levels
 * over their (or the selection's) minimum..maximum, as ImageJ bins them for
 * its own methods, and the range is set in 16-bit values; RGB images are
 * converted to gray by ImageJ's conversion in use (Edit › Options ›
 * Conversions: (R+G+B)/3, or 0.299 R + 0.587 G + 0.114 B when weighted), and
 * always give a mask, since ImageJ keeps no threshold range on RGB images.
 * With a selection only pairs whose two pixels are both inside are counted.
 * Stacks: each slice on its own, or one matrix summed over the stack
 * ("whole stack").
 *
 * <p>Macro options, as the recorder writes them: {@code objects=bright} or
 * {@code objects=dark}, and the keywords {@code create} (make a mask) and
 * {@code stack} (one matrix for the whole stack); for example
 * {@code run("Co-occurrence Entropy Threshold", "objects=dark create");}.
 */
public class EntropyThresholdPlugin implements PlugInFilter {
    static final String TITLE = "Co-occurrence Entropy Threshold";

    private ImagePlus imp;
    private boolean dark;
    private boolean createMask;
    private boolean wholeStack;
    private int[] levels = new int[0];
    private ImagePlus mask;

    @Override
    public int setup(String arg, ImagePlus image) {
        if (image == null) {
            IJ.noImage();
            return DONE;
        }
        this.imp = image;
        if (!options(image.getStackSize() > 1)) {
            return DONE;
        }
        return DOES_8G | DOES_16 | DOES_RGB | NO_CHANGES | NO_UNDO;
    }

    /** Reads the options: from a macro, else (with a display) from a dialog; else the defaults. */
    private boolean options(boolean stack) {
        String macro = Macro.getOptions();
        if (macro != null) {
            String words = " " + macro.trim() + " ";
            dark = "dark".equals(Macro.getValue(macro, "objects", "bright"));
            createMask = words.contains(" create ");
            wholeStack = words.contains(" stack ");
            return true;
        }
        if (GraphicsEnvironment.isHeadless()) {
            return true;
        }
        GenericDialog dialog = new GenericDialog(TITLE);
        dialog.addChoice("objects", new String[] {"bright", "dark"}, dark ? "dark" : "bright");
        dialog.addCheckbox("create mask", createMask);
        if (stack) {
            dialog.addCheckbox("stack: one matrix for the whole stack", wholeStack);
        }
        dialog.showDialog();
        if (dialog.wasCanceled()) {
            return false;
        }
        dark = dialog.getNextChoice().equals("dark");
        createMask = dialog.getNextBoolean();
        if (stack) {
            wholeStack = dialog.getNextBoolean();
        }
        return true;
    }

    /** Sets the options as a macro would, for callers without a dialog. */
    public void setOptions(boolean darkObjects, boolean makeMask, boolean oneMatrixForStack) {
        dark = darkObjects;
        createMask = makeMask;
        wholeStack = oneMatrixForStack;
    }

    @Override
    public void run(ImageProcessor ip) {
        try {
            threshold();
        } catch (IllegalArgumentException | UnsatisfiedLinkError e) {
            IJ.error(TITLE, e.getMessage());
        }
    }

    /** The level chosen for the current slice (or the whole stack). */
    public int level() {
        return levels.length == 0 ? -1 : levels.length == 1 ? levels[0]
                : levels[imp.getCurrentSlice() - 1];
    }

    /** The level chosen for each slice (one entry for "whole stack"). */
    public int[] levels() {
        return levels.clone();
    }

    /** The mask made by "create mask" (and for RGB images), or null. */
    public ImagePlus mask() {
        return mask;
    }

    private void threshold() {
        ImageStack stack = imp.getStack();
        Selection selection = Selection.of(imp.getRoi(), imp.getWidth(), imp.getHeight());
        boolean sixteen = imp.getBitDepth() == 16;
        // The 16-bit range that the levels and the shown threshold are binned over.
        int[] range = sixteen ? selection.range(stack, wholeStack ? 0 : imp.getCurrentSlice())
                : null;
        List<GrayImage> slices = new ArrayList<>();
        for (int s = 1; s <= stack.getSize(); s++) {
            ImageProcessor p = stack.getProcessor(s);
            int[] sliceRange = sixteen && !wholeStack ? selection.range(stack, s) : range;
            slices.add(selection.levels(p, sliceRange));
        }
        if (wholeStack) {
            List<int[][]> matrices = new ArrayList<>();
            for (GrayImage slice : slices) {
                matrices.add(slice.cooccurrence(selection.inside()));
            }
            int level = EntropyThreshold.select(Cooccurrence.sum(matrices), 0, 255);
            levels = new int[] {level};
        } else {
            levels = new int[slices.size()];
            for (int s = 0; s < slices.size(); s++) {
                levels[s] = EntropyThreshold.select(slices.get(s).cooccurrence(selection.inside()),
                        0, 255);
            }
        }
        report();
        if (createMask || imp.getBitDepth() == 24) {
            makeMask(slices, selection);
        } else {
            setRange(range);
        }
    }

    /** Like ImageJ's own methods: the red overlay over the chosen levels. */
    private void setRange(int[] sixteenBitRange) {
        int level = level();
        ImageProcessor ip = imp.getProcessor();
        double lower;
        double upper;
        if (sixteenBitRange == null) {
            lower = dark ? 0 : level + 1;
            upper = dark ? level : 255;
        } else {
            int min = sixteenBitRange[0];
            int max = sixteenBitRange[1];
            int firstAbove = max + 1;
            for (int v = min; v <= max; v++) {
                if (Selection.bin(v, min, max) > level) {
                    firstAbove = v;
                    break;
                }
            }
            lower = dark ? min : firstAbove;
            upper = dark ? firstAbove - 1 : max;
        }
        ip.setThreshold(lower, upper, ImageProcessor.RED_LUT);
        imp.updateAndDraw();
    }

    /** 255 where a pixel is an object (above the level, or up to it when dark), else 0. */
    private void makeMask(List<GrayImage> slices, Selection selection) {
        ImageStack masks = new ImageStack(imp.getWidth(), imp.getHeight());
        for (int s = 0; s < slices.size(); s++) {
            GrayImage slice = slices.get(s);
            int level = levels.length == 1 ? levels[0] : levels[s];
            ByteProcessor m = new ByteProcessor(imp.getWidth(), imp.getHeight());
            Rectangle r = selection.bounds();
            boolean[] inside = selection.inside();
            for (int y = 0; y < r.height; y++) {
                for (int x = 0; x < r.width; x++) {
                    if (inside != null && !inside[y * r.width + x]) {
                        continue;
                    }
                    boolean object = dark ? slice.level(x, y) <= level : slice.level(x, y) > level;
                    m.set(r.x + x, r.y + y, object ? 255 : 0);
                }
            }
            masks.addSlice(imp.getStack().getSliceLabel(s + 1), m);
        }
        mask = new ImagePlus("MASK_" + imp.getTitle(), masks);
        if (!GraphicsEnvironment.isHeadless()) {
            mask.show();
        }
    }

    /** The levels in ImageJ's log window when there is one; nothing on standard output. */
    private void report() {
        if (IJ.getInstance() == null) {
            return;  // without ImageJ's window the log would be standard output
        }
        String text = levels.length == 1 ? "level " + levels[0]
                : "levels " + Arrays.toString(levels) + " (slice 1 first)";
        IJ.log("Co-occurrence: " + imp.getTitle() + ": " + text);
    }

    /** The pixels taken into account: a selection's bounds and, if not rectangular, its mask. */
    static final class Selection {
        private final Rectangle bounds;
        private final boolean[] inside;

        private Selection(Rectangle bounds, boolean[] inside) {
            this.bounds = bounds;
            this.inside = inside;
        }

        static Selection of(Roi roi, int width, int height) {
            if (roi == null || !roi.isArea()) {
                return new Selection(new Rectangle(width, height), null);
            }
            Rectangle r = roi.getBounds().intersection(new Rectangle(width, height));
            ImageProcessor m = roi.getMask();
            Rectangle full = roi.getBounds();
            boolean[] inside = null;
            if (m != null) {
                inside = new boolean[r.width * r.height];
                for (int y = 0; y < r.height; y++) {
                    for (int x = 0; x < r.width; x++) {
                        inside[y * r.width + x] = m.get(r.x - full.x + x, r.y - full.y + y) != 0;
                    }
                }
            }
            return new Selection(r, inside);
        }

        Rectangle bounds() {
            return bounds;
        }

        boolean[] inside() {
            return inside;
        }

        private boolean in(int x, int y) {
            return inside == null || inside[y * bounds.width + x];
        }

        /** 16-bit minimum and maximum inside the selection, of one slice (or all for 0). */
        int[] range(ImageStack stack, int slice) {
            int min = Integer.MAX_VALUE;
            int max = Integer.MIN_VALUE;
            for (int s = slice == 0 ? 1 : slice; s <= (slice == 0 ? stack.getSize() : slice); s++) {
                ImageProcessor p = stack.getProcessor(s);
                for (int y = 0; y < bounds.height; y++) {
                    for (int x = 0; x < bounds.width; x++) {
                        if (in(x, y)) {
                            int v = p.get(bounds.x + x, bounds.y + y);
                            min = Math.min(min, v);
                            max = Math.max(max, v);
                        }
                    }
                }
            }
            return min > max ? new int[] {0, 0} : new int[] {min, max};
        }

        /** The 0..255 bin of a 16-bit value over min..max, as ImageJ's 256-bin histograms. */
        static int bin(int v, int min, int max) {
            if (max <= min) {
                return 0;
            }
            return Math.min(255, (int) ((v - min) * (256.0 / (max - min))));
        }

        /** The levels of the selection's bounding rectangle of one slice. */
        GrayImage levels(ImageProcessor p, int[] sixteenBitRange) {
            ImageProcessor gray = p instanceof ColorProcessor ? p.convertToByteProcessor(false) : p;
            int[] levels = new int[bounds.width * bounds.height];
            for (int y = 0; y < bounds.height; y++) {
                for (int x = 0; x < bounds.width; x++) {
                    int v = gray.get(bounds.x + x, bounds.y + y);
                    levels[y * bounds.width + x] = gray instanceof ShortProcessor
                            ? bin(v, sixteenBitRange[0], sixteenBitRange[1]) : v;
                }
            }
            return GrayImage.of(bounds.width, bounds.height, levels);
        }
    }
}
